#include "host/poly_object.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace host {

namespace {

struct Vec {
  double x, y, z;
};
Vec operator-(const Point3& a, const Point3& b) { return {double(a.x) - b.x, double(a.y) - b.y, double(a.z) - b.z}; }
Vec cross(const Vec& a, const Vec& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dot(const Vec& a, const Vec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double length(const Vec& a) { return std::sqrt(dot(a, a)); }

// Two faces whose normals differ by at most this angle count as one plane.
const double kPlanarCosine = std::cos(1.0 * 3.14159265358979323846 / 180.0);

Vec triangleNormal(const PolyObject& poly, const PolyFace& face) {
  const Point3& a = poly.vertices[static_cast<std::size_t>(face.vertices[0])];
  const Point3& b = poly.vertices[static_cast<std::size_t>(face.vertices[1])];
  const Point3& c = poly.vertices[static_cast<std::size_t>(face.vertices[2])];
  return cross(b - a, c - a);
}

// Strictly convex, turning the same way as `normal` at every corner.
bool convex(const PolyObject& poly, const std::vector<int>& quad, const Vec& normal) {
  for (std::size_t k = 0; k < 4; ++k) {
    const Point3& a = poly.vertices[static_cast<std::size_t>(quad[k])];
    const Point3& b = poly.vertices[static_cast<std::size_t>(quad[(k + 1) % 4])];
    const Point3& c = poly.vertices[static_cast<std::size_t>(quad[(k + 2) % 4])];
    if (dot(cross(b - a, c - b), normal) <= 0.0) return false;
  }
  return true;
}

struct Candidate {
  double sharedLength;
  int first;  // face whose edge `edge` (corner edge -> edge + 1) is shared
  int edge;
  int second;
  int opposite;  // corner of `second` not on the shared edge
};

// The quad's corners: around the first triangle with the second one's
// opposite corner put in the shared edge, starting where the first starts.
std::vector<int> mergeCorners(const std::vector<int>& a, int edge, int opposite) {
  std::vector<int> quad;
  for (int k = 0; k < 3; ++k) {
    quad.push_back(a[static_cast<std::size_t>(k)]);
    if (k == edge) quad.push_back(opposite);
  }
  return quad;
}

// True for a face with three corners, all inside the vertex array.
bool isTriangle(const PolyObject& poly, const PolyFace& face) {
  const auto vertexCount = static_cast<int>(poly.vertices.size());
  const std::vector<int>& v = face.vertices;
  return v.size() == 3 && std::all_of(v.begin(), v.end(), [&](int i) { return i >= 0 && i < vertexCount; });
}

// Every pair of triangles sharing an edge with the same material, longest
// shared edge first (ties in face order).
std::vector<Candidate> findCandidates(const PolyObject& poly) {
  const auto faceCount = static_cast<int>(poly.faces.size());
  // Triangles by directed edge, to find the neighbour across each edge.
  std::map<std::pair<int, int>, int> edgeOwner;
  for (int f = 0; f < faceCount; ++f) {
    const PolyFace& face = poly.faces[static_cast<std::size_t>(f)];
    if (!isTriangle(poly, face)) continue;
    const std::vector<int>& v = face.vertices;
    for (int e = 0; e < 3; ++e) edgeOwner.emplace(std::make_pair(v[e], v[(e + 1) % 3]), f);
  }
  std::vector<Candidate> candidates;
  for (int f = 0; f < faceCount; ++f) {
    const PolyFace& face = poly.faces[static_cast<std::size_t>(f)];
    if (!isTriangle(poly, face)) continue;
    for (int e = 0; e < 3; ++e) {
      const int p = face.vertices[static_cast<std::size_t>(e)];
      const int q = face.vertices[static_cast<std::size_t>((e + 1) % 3)];
      const auto across = edgeOwner.find({q, p});
      // Each pair once, from its lower face.
      if (across == edgeOwner.end() || across->second <= f) continue;
      const PolyFace& other = poly.faces[static_cast<std::size_t>(across->second)];
      if (other.materialId != face.materialId) continue;
      int opposite = -1;
      for (const int corner : other.vertices) {
        if (corner != p && corner != q) opposite = corner;
      }
      if (opposite < 0) continue;
      candidates.push_back(
          {length(poly.vertices[static_cast<std::size_t>(q)] - poly.vertices[static_cast<std::size_t>(p)]), f, e,
           across->second, opposite});
    }
  }
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& a, const Candidate& b) { return a.sharedLength > b.sharedLength; });
  return candidates;
}

// Which triangles become quads: per face, its partner, and for the first
// face of a pair the quad's corners and the partner's opposite corner.
struct Pairing {
  explicit Pairing(std::size_t faceCount) : partner(faceCount, -1), quads(faceCount), opposites(faceCount, -1) {}
  std::vector<int> partner;
  std::vector<std::vector<int>> quads;
  std::vector<int> opposites;
  int made = 0;
};

// Takes the candidates in order; a pair forms a quad when neither triangle
// is taken yet, they lie in one plane and the quad is convex.
Pairing pairTriangles(const PolyObject& poly, const std::vector<Candidate>& candidates) {
  Pairing pairing(poly.faces.size());
  for (const Candidate& c : candidates) {
    const auto first = static_cast<std::size_t>(c.first);
    const auto second = static_cast<std::size_t>(c.second);
    if (pairing.partner[first] >= 0 || pairing.partner[second] >= 0) continue;
    const PolyFace& a = poly.faces[first];
    const PolyFace& b = poly.faces[second];
    const Vec na = triangleNormal(poly, a);
    const Vec nb = triangleNormal(poly, b);
    const double la = length(na);
    const double lb = length(nb);
    if (la == 0.0 || lb == 0.0 || dot(na, nb) / (la * lb) < kPlanarCosine) continue;
    std::vector<int> quad = mergeCorners(a.vertices, c.edge, c.opposite);
    const Vec normal{na.x + nb.x, na.y + nb.y, na.z + nb.z};
    if (!convex(poly, quad, normal)) continue;
    pairing.partner[first] = c.second;
    pairing.partner[second] = c.first;
    pairing.quads[first] = std::move(quad);
    pairing.opposites[first] = c.opposite;
    ++pairing.made;
  }
  return pairing;
}

// The map face of a quad: each corner's map vertex from the triangle it
// came from.
std::vector<int> quadMapFace(const PolyObject& poly, std::size_t map, const Pairing& pairing, std::size_t face) {
  const auto other = static_cast<std::size_t>(pairing.partner[face]);
  const std::vector<int>& a = poly.faces[face].vertices;
  const std::vector<int>& b = poly.faces[other].vertices;
  const std::vector<int>& ta = poly.maps[map].second.faces[face];
  const std::vector<int>& tb = poly.maps[map].second.faces[other];
  std::vector<int> mapped;
  for (const int corner : pairing.quads[face]) {
    if (corner == pairing.opposites[face]) {
      mapped.push_back(tb[static_cast<std::size_t>(std::find(b.begin(), b.end(), corner) - b.begin())]);
    } else {
      mapped.push_back(ta[static_cast<std::size_t>(std::find(a.begin(), a.end(), corner) - a.begin())]);
    }
  }
  return mapped;
}

// Rebuilds the faces in their order: a quad takes the place of its first
// triangle; map faces follow the same corners.
void rebuildFaces(PolyObject& poly, const Pairing& pairing) {
  std::vector<PolyFace> faces;
  std::vector<std::vector<std::vector<int>>> mapFaces(poly.maps.size());
  for (std::size_t f = 0; f < poly.faces.size(); ++f) {
    const int other = pairing.partner[f];
    if (other >= 0 && static_cast<std::size_t>(other) < f) continue;  // merged into an earlier face
    if (other < 0) {
      faces.push_back(poly.faces[f]);
      for (std::size_t m = 0; m < poly.maps.size(); ++m) mapFaces[m].push_back(poly.maps[m].second.faces[f]);
      continue;
    }
    faces.push_back({pairing.quads[f], poly.faces[f].materialId});
    for (std::size_t m = 0; m < poly.maps.size(); ++m) mapFaces[m].push_back(quadMapFace(poly, m, pairing, f));
  }
  poly.faces = std::move(faces);
  for (std::size_t m = 0; m < poly.maps.size(); ++m) poly.maps[m].second.faces = std::move(mapFaces[m]);
}

}  // namespace

std::unique_ptr<PolyObject> polyFromMesh(const Mesh& mesh) {
  auto poly = std::make_unique<PolyObject>();
  poly->vertices.assign(mesh.verts.begin(), mesh.verts.end());
  poly->faces.reserve(mesh.faces.items().size());
  for (const Face& face : mesh.faces) {
    poly->faces.push_back(
        {{static_cast<int>(face.v[0]), static_cast<int>(face.v[1]), static_cast<int>(face.v[2])}, face.getMatID()});
  }
  std::vector<int> channels;
  for (int channel = -NUM_HIDDENMAPS; channel < mesh.getNumMaps(); ++channel) channels.push_back(channel);
  for (const int channel : channels) {
    const MeshMap* map = mesh.findMap(channel);
    if (map == nullptr || !map->IsUsed()) continue;
    // A channel whose faces do not pair with the object's cannot follow it.
    if (map->tf.size() != mesh.faces.size()) continue;
    PolyMap polyMap;
    polyMap.vertices.assign(map->tv.begin(), map->tv.end());
    for (const TVFace& face : map->tf) {
      polyMap.faces.push_back({static_cast<int>(face.t[0]), static_cast<int>(face.t[1]), static_cast<int>(face.t[2])});
    }
    poly->maps.emplace_back(channel, std::move(polyMap));
  }
  return poly;
}

int quadrify(PolyObject& poly) {
  const Pairing pairing = pairTriangles(poly, findCandidates(poly));
  if (pairing.made > 0) rebuildFaces(poly, pairing);
  return pairing.made;
}

}  // namespace host
