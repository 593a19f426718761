#pragma once
// A generated design of many meshes, for the suites that run work on several
// threads: strips of quads from a few hundred bytes to arrays of several
// hundred kilobytes (so every kind of scene memory is filled), each with
// normals, a map channel and material IDs, some of them instanced.
#include <string>
#include <vector>

#include "tools/scenegen/scene_writer.h"

namespace cvimp::test {

inline std::string stripScene(int meshes) {
  scenegen::SceneWriter w;
  for (int m = 0; m < meshes; ++m) {
    const int quads = 4 + (m * 7919) % 6000;
    std::vector<scenegen::Vec3> points, uvw;
    std::vector<std::int32_t> faces, ids;
    for (int q = 0; q <= quads; ++q) {
      points.push_back({float(q), float(m), 0});
      points.push_back({float(q), float(m) + 1, float(q % 3)});
      uvw.push_back({float(q) / float(quads), 0, 0});
      uvw.push_back({float(q) / float(quads), 1, 0});
    }
    for (int q = 0; q < quads; ++q) {
      const int a = 2 * q;
      faces.insert(faces.end(), {a, a + 2, a + 3, a, a + 3, a + 1});
      ids.insert(ids.end(), {q % 4, q % 4});
    }
    const std::string name = "mesh" + std::to_string(m);
    w.begin("GeomStaticMesh", name);
    w.attribute("vertices", "ListVectorHex(\"" + scenegen::packVectors(points) + "\")");
    w.attribute("faces", "ListIntHex(\"" + scenegen::packInts(faces) + "\")");
    w.attribute("normals", "ListVectorHex(\"" + scenegen::packVectors(points) + "\")");
    w.attribute("faceNormals", "ListIntHex(\"" + scenegen::packInts(faces) + "\")");
    w.attribute("map_channels", "List(List(1, ListVectorHex(\"" + scenegen::packVectors(uvw) + "\"), ListIntHex(\"" +
                                    scenegen::packInts(faces) + "\")))");
    w.attribute("face_mtlIDs", "ListIntHex(\"" + scenegen::packInts(ids) + "\")");
    w.end();
    for (int copy = 0; copy < 1 + m % 3; ++copy) {
      w.begin("Node", name + "_node" + std::to_string(copy));
      w.attribute("transform", "Transform(Matrix(Vector(1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1)), Vector(" +
                                   std::to_string(copy) + ", 0, 0))");
      w.attribute("geometry", name);
      w.end();
    }
  }
  return w.take();
}

}  // namespace cvimp::test
