#include "maxhost/viewport/scene_renderer.h"

#include <stb_image.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string_view>

#include "host/max.h"
#include "host/stand_in.h"
#include "maxhost/viewport/icons.h"

namespace maxhost::viewport {

namespace {

constexpr const char* kSurfaceVertex = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv;
uniform mat4 model;
uniform mat4 viewProjection;
uniform mat3 normalMatrix;
out vec3 worldPosition;
out vec3 worldNormal;
out vec2 texCoord;
void main() {
  vec4 world = model * vec4(position, 1.0);
  worldPosition = world.xyz;
  worldNormal = normalMatrix * normal;
  texCoord = uv;
  gl_Position = viewProjection * world;
}
)";

// Base colour times the map, read as 3ds Max places it: the map's rows go
// up from the top, so V is flipped before the placement (tiling, offset,
// turn) is applied. Lit by a head light, from both sides. For picking, the
// node's number as a colour where the surface shows (not in cut-out holes).
constexpr const char* kSurfaceFragment = R"(#version 330 core
in vec3 worldPosition;
in vec3 worldNormal;
in vec2 texCoord;
uniform vec4 baseColor;
uniform bool textured;
uniform sampler2D baseTexture;
uniform mat3 uvTransform;
uniform bool cutout;
uniform bool flatColor;
uniform bool picking;
uniform vec4 pickColor;
uniform bool orthographic;
uniform vec3 toEye;
uniform vec3 eye;
out vec4 color;
void main() {
  vec3 faceNormal = cross(dFdx(worldPosition), dFdy(worldPosition));
  vec4 c = baseColor;
  if (textured) {
    vec2 st = (uvTransform * vec3(texCoord.x, 1.0 - texCoord.y, 1.0)).xy;
    c *= texture(baseTexture, st);
  }
  if (cutout && c.a < 0.5) discard;
  if (picking) {
    color = pickColor;
    return;
  }
  if (flatColor) {
    color = vec4(c.rgb, 1.0);
    return;
  }
  vec3 n = dot(worldNormal, worldNormal) > 1e-12 ? worldNormal : faceNormal;
  n = dot(n, n) > 0.0 ? normalize(n) : toEye;
  vec3 view = orthographic ? toEye : normalize(eye - worldPosition);
  if (dot(n, view) < 0.0) n = -n;
  color = vec4(c.rgb * (0.3 + 0.7 * max(dot(n, toEye), 0.0)), 1.0);
}
)";

constexpr const char* kLinesVertex = R"(#version 330 core
layout(location = 0) in vec3 position;
uniform mat4 model;
uniform mat4 viewProjection;
void main() { gl_Position = viewProjection * (model * vec4(position, 1.0)); }
)";

constexpr const char* kFlatFragment = R"(#version 330 core
uniform vec4 lineColor;
out vec4 color;
void main() { color = lineColor; }
)";

bool compile(GLuint shader, const char* source, std::string& error) {
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok == GL_TRUE) return true;
  char log[1024] = {};
  glGetShaderInfoLog(shader, sizeof log, nullptr, log);
  error = std::string("cannot compile a viewport shader: ") + log;
  return false;
}

gl::Program link(const char* vertex, const char* fragment, std::string& error) {
  const GLuint vs = glCreateShader(GL_VERTEX_SHADER), fs = glCreateShader(GL_FRAGMENT_SHADER);
  gl::Program program;
  if (compile(vs, vertex, error) && compile(fs, fragment, error)) {
    program = gl::Program(glCreateProgram());
    glAttachShader(program.get(), vs);
    glAttachShader(program.get(), fs);
    glLinkProgram(program.get());
    GLint ok = GL_FALSE;
    glGetProgramiv(program.get(), GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
      error = "cannot link a viewport shader";
      program.reset();
    }
  }
  glDeleteShader(vs);
  glDeleteShader(fs);
  return program;
}

GLint at(const gl::Program& program, const char* name) { return glGetUniformLocation(program.get(), name); }

using Mat4 = std::array<float, 16>;

Mat4 multiply(const Mat4& a, const Mat4& b) {
  Mat4 out{};
  for (int column = 0; column < 4; ++column) {
    for (int row = 0; row < 4; ++row) {
      float sum = 0;
      for (int k = 0; k < 4; ++k) sum += a[k * 4 + row] * b[column * 4 + k];
      out[column * 4 + row] = sum;
    }
  }
  return out;
}

// The host's row-vector transform as a column-major matrix.
Mat4 modelOf(const Matrix3& tm) {
  Mat4 m{};
  for (int row = 0; row < 4; ++row) {
    const Point3 r = tm.GetRow(row);
    m[row * 4 + 0] = r.x;
    m[row * 4 + 1] = r.y;
    m[row * 4 + 2] = r.z;
  }
  m[15] = 1;
  return m;
}

// The inverse transpose of the model's linear part, up to scale: the
// cross products of its columns.
std::array<float, 9> normalMatrix(const Mat4& m) {
  const float a[3] = {m[0], m[1], m[2]}, b[3] = {m[4], m[5], m[6]}, c[3] = {m[8], m[9], m[10]};
  auto cross = [](const float* x, const float* y, float* to) {
    to[0] = x[1] * y[2] - x[2] * y[1];
    to[1] = x[2] * y[0] - x[0] * y[2];
    to[2] = x[0] * y[1] - x[1] * y[0];
  };
  std::array<float, 9> n{};
  cross(b, c, &n[0]);
  cross(c, a, &n[3]);
  cross(a, b, &n[6]);
  return n;
}

std::array<float, 4> color8(const std::uint8_t (&rgb)[3]) {
  return {rgb[0] / 255.0f, rgb[1] / 255.0f, rgb[2] / 255.0f, 1.0f};
}

// A wire colour (RGB, red in the low byte), times `scale`, in 8-bit steps.
std::array<float, 4> wireColor(DWORD wire, float scale = 1.0f) {
  auto channel = [&](int shift) { return std::round(((wire >> shift) & 0xFF) * scale) / 255.0f; };
  return {channel(0), channel(8), channel(16), 1.0f};
}

// KHR_texture_transform's matrix, translation * rotation * scale.
std::array<float, 9> uvMatrix(const cvimp::gltf::TextureTransform& t) {
  const double c = std::cos(t.rotation), s = std::sin(t.rotation);
  return {static_cast<float>(c * t.scale[0]),  static_cast<float>(s * t.scale[0]), 0,
          static_cast<float>(-s * t.scale[1]), static_cast<float>(c * t.scale[1]), 0,
          static_cast<float>(t.offset[0]),     static_cast<float>(t.offset[1]),    1};
}

// The grid on the ground plane: lines a power of ten apart, some tens of
// them across the scene's footprint, reaching a little past it.
struct Grid {
  double step = 10;
  int lines = 0;  // each side of the axes
  double reach() const { return lines * step; }
};

Grid gridFor(const host::Box& scene) {
  const double extent =
      scene.empty
          ? 1000
          : std::max({std::abs(scene.min[0]), std::abs(scene.max[0]), std::abs(scene.min[1]), std::abs(scene.max[1])});
  Grid grid;
  if (extent > 0 && std::isfinite(extent)) grid.step = std::pow(10.0, std::floor(std::log10(extent / 4)));
  grid.lines = std::min(static_cast<int>(std::ceil(extent * 1.2 / grid.step)), 200);
  return grid;
}

// Pixels from the pointer within which an icon's line is picked: lines are
// one pixel wide.
constexpr int kPickReach = 4;

// Node number `id` as a colour; 0 is the background.
std::array<float, 4> pickColor(std::size_t index) {
  const auto id = static_cast<std::uint32_t>(index + 1);
  return {(id & 0xFF) / 255.0f, ((id >> 8) & 0xFF) / 255.0f, ((id >> 16) & 0xFF) / 255.0f, 1};
}

}  // namespace

// A framebuffer of the picture's size, for images and picking.
struct SceneRenderer::Target {
  int width = 0, height = 0;
  gl::Framebuffer framebuffer;
  gl::Renderbuffer color, depth;
};

SceneRenderer::SceneRenderer() {
  surface_ = link(kSurfaceVertex, kSurfaceFragment, error_);
  if (surface_) lines_ = link(kLinesVertex, kFlatFragment, error_);
  if (!ready()) return;
  gridArray_ = gl::newVertexArray();
  gridBuffer_ = gl::newBuffer();
  glBindVertexArray(gridArray_.get());
  glBindBuffer(GL_ARRAY_BUFFER, gridBuffer_.get());
  glEnableVertexAttribArray(GpuMesh::kPosition);
  glVertexAttribPointer(GpuMesh::kPosition, 3, GL_FLOAT, GL_FALSE, 12, nullptr);
  glBindVertexArray(0);
}

SceneRenderer::~SceneRenderer() = default;

UploadStats SceneRenderer::sync() {
  UploadStats stats;
  std::unordered_map<AnimHandle, Cached> kept;
  for (const auto& node : host::scene().nodes()) {
    Object* object = node->GetObjectRef();
    if (object == nullptr) continue;
    const AnimHandle handle = Animatable::GetHandleByAnim(object);
    if (kept.count(handle) != 0) continue;
    // What tells an object changed in place: its sizes and the caches it
    // invalidated.
    std::array<long long, 4> version{};
    if (object->ClassID() == TRIOBJ_CLASS_ID) {
      const Mesh& mesh = static_cast<TriObject*>(object)->mesh;
      version = {mesh.getNumVerts(), mesh.getNumFaces(), mesh.geomCacheInvalidations(),
                 mesh.topologyCacheInvalidations()};
    } else if (object->ClassID() == POLYOBJ_CLASS_ID) {
      const PolyObject* poly = static_cast<PolyObject*>(object);
      version = {static_cast<long long>(poly->vertices.size()), static_cast<long long>(poly->faces.size()), 0, 0};
    }
    auto found = meshes_.find(handle);
    if (found != meshes_.end() && found->second.version == version) {
      kept.emplace(handle, std::move(found->second));
      continue;
    }
    Cached cached;
    cached.version = version;
    cached.mesh = GpuMesh::upload(*object);
    if (cached.mesh != nullptr) {
      stats.objects += 1;
      stats.triangles += cached.mesh->triangles();
      stats.bytes += cached.mesh->bytes();
    }
    kept.emplace(handle, std::move(cached));
  }
  meshes_ = std::move(kept);
  syncMaterials();
  return stats;
}

void SceneRenderer::syncMaterials() {
  std::vector<AnimHandle> handles;
  for (const auto& material : host::scene().materials()) handles.push_back(Animatable::GetHandleByAnim(material.get()));
  if (handles == materialHandles_ && materialTable_ != nullptr) return;
  materialHandles_ = std::move(handles);
  materials_.clear();
  materialReport_ = std::make_unique<cvimp::Report>();
  materialTable_ = std::make_unique<cvimp::gltf::MaterialTable>(*materialReport_);
  // Other materials, other images: what the new ones show is decoded again.
  textures_.clear();
}

GLuint SceneRenderer::textureOf(std::size_t index) {
  const cvimp::gltf::ImageDesc& image = materialTable_->images()[index];
  std::string key = image.path;
  if (!image.bytes.empty())
    key += "\n" + std::to_string(std::hash<std::string_view>()(
                      std::string_view(reinterpret_cast<const char*>(image.bytes.data()), image.bytes.size())));
  auto found = textures_.find(key);
  if (found != textures_.end()) return found->second.get();
  gl::Texture texture;
  std::vector<std::uint8_t> bytes;
  int width = 0, height = 0, components = 0;
  stbi_uc* pixels = nullptr;
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  // The size from the header first: an image larger than a texture can be
  // is not decoded at all (a hostile header may claim gigapixels).
  if (cvimp::gltf::imageBytes(image, bytes) && !bytes.empty() && bytes.size() <= INT32_MAX &&
      stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &components) != 0 &&
      width <= largest && height <= largest)
    pixels = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &components, 4);
  if (pixels != nullptr) {
    texture = gl::newTexture();
    glBindTexture(GL_TEXTURE_2D, texture.get());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glGenerateMipmap(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    stbi_image_free(pixels);
  }
  // An image that cannot be read is remembered as none: the colour shows.
  const GLuint name = texture.get();
  textures_.emplace(key, std::move(texture));
  return name;
}

std::vector<SceneRenderer::Material> SceneRenderer::materialsOf(INode& node, const GpuMesh& mesh) {
  Mtl* worn = node.GetMtl();
  if (worn == nullptr || worn->ClassID() != MULTI_CLASS_ID) return {materialOf(worn, node.GetWireColor(), mesh)};
  std::vector<Material> materials;
  for (const GpuMesh::Group& group : mesh.groups()) {
    materials.push_back(materialOf(host::faceMaterial(worn, group.id), node.GetWireColor(), mesh));
  }
  return materials;
}

SceneRenderer::Material SceneRenderer::materialOf(Mtl* worn, DWORD wire, const GpuMesh& mesh) {
  Material material;
  int index = materialTable_->indexOf(worn);
  if (index < 0) {
    // No material: the object's wire colour, as 3ds Max shows it.
    material.color = wireColor(wire);
    return material;
  }
  if (!mesh.hasUvs()) index = materialTable_->untextured(index);
  auto found = materials_.find(index);
  if (found != materials_.end()) return found->second;
  const cvimp::gltf::MaterialDesc& desc = materialTable_->materials()[static_cast<std::size_t>(index)];
  for (int i = 0; i < 4; ++i) material.color[i] = static_cast<float>(desc.baseColor[i]);
  if (desc.baseColorTexture) {
    material.texture = textureOf(desc.baseColorTexture->image);
    material.uvTransform = uvMatrix(desc.baseColorTexture->transform);
  }
  material.cutout = desc.mask;
  materials_.emplace(index, material);
  return material;
}

SceneRenderer::Contents SceneRenderer::contents(const host::ViewportState& state) {
  Contents contents;
  std::vector<INode*> iconNodes;
  for (const auto& node : host::scene().nodes()) {
    Object* object = node->GetObjectRef();
    if (object == nullptr) continue;
    auto found = meshes_.find(Animatable::GetHandleByAnim(object));
    if (found == meshes_.end() || found->second.mesh == nullptr) {
      iconNodes.push_back(node.get());
      continue;
    }
    GpuMesh* mesh = found->second.mesh.get();
    const Matrix3 tm = node->GetNodeTM(0);
    const Mat4 model = modelOf(tm);
    if (!std::all_of(model.begin(), model.end(), [](float v) { return std::isfinite(v); })) continue;
    contents.box.merge(host::placedBox(mesh->box(), tm));
    contents.shown.push_back({node.get(), mesh, object, model, materialsOf(*node, *mesh), node->Selected() != 0});
  }
  // Icons scale with the geometry, so that they neither hide a room nor
  // vanish in it; the one looked through is not drawn.
  const double size = iconSize(contents.box);
  const INode* through = host::viewedCamera(state.camera);
  Interface* core = GetCOREInterface();
  const double aspect = static_cast<double>(std::max(core->GetRendWidth(), 1)) / std::max(core->GetRendHeight(), 1);
  for (INode* node : iconNodes) {
    if (node == through) continue;
    std::vector<float> lines = iconLines(*node->GetObjectRef(), size, aspect);
    const Matrix3 tm = node->GetNodeTM(0);
    const Mat4 model = modelOf(tm);
    if (lines.empty() || !std::all_of(model.begin(), model.end(), [](float v) { return std::isfinite(v); })) continue;
    host::Box local;
    for (std::size_t i = 0; i + 2 < lines.size(); i += 3) local.add({lines[i], lines[i + 1], lines[i + 2]});
    contents.box.merge(host::placedBox(local, tm));
    contents.icons.push_back({node, model, std::move(lines), node->Selected() != 0});
  }
  return contents;
}

void SceneRenderer::drawGrid(const host::Box& box, const Mat4& viewProjection) {
  const Grid grid = gridFor(box);
  const int lines = grid.lines;
  const double step = grid.step;
  const float reach = static_cast<float>(grid.reach());
  std::vector<float> points;
  std::vector<float> axes;
  for (int i = -lines; i <= lines; ++i) {
    const float at = static_cast<float>(i * step);
    std::vector<float>& to = i == 0 ? axes : points;
    to.insert(to.end(), {at, -reach, 0, at, reach, 0, -reach, at, 0, reach, at, 0});
  }
  const std::size_t gridPoints = points.size() / 3;
  points.insert(points.end(), axes.begin(), axes.end());
  glBindVertexArray(gridArray_.get());
  glBindBuffer(GL_ARRAY_BUFFER, gridBuffer_.get());
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(points.size() * 4), points.data(), GL_STREAM_DRAW);
  glUseProgram(lines_.get());
  const Mat4 identity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  glUniformMatrix4fv(at(lines_, "model"), 1, GL_FALSE, identity.data());
  glUniformMatrix4fv(at(lines_, "viewProjection"), 1, GL_FALSE, viewProjection.data());
  glUniform4fv(at(lines_, "lineColor"), 1, color8(kGridLine).data());
  glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(gridPoints));
  glUniform4fv(at(lines_, "lineColor"), 1, color8(kGridAxis).data());
  glDrawArrays(GL_LINES, static_cast<GLsizei>(gridPoints), 4);
}

void SceneRenderer::drawScene(int width, int height, const host::ViewportState& state, bool picking) {
  sync();
  const Contents drawn = contents(state);
  const std::vector<Shown>& shown = drawn.shown;
  const host::Box& box = drawn.box;
  // 3ds Max shows no grid through a camera.
  const bool grid = state.camera.type != host::ViewType::Camera;
  // The grid lies within the depth range too.
  host::Box withGrid = box;
  if (grid) {
    const double reach = gridFor(box).reach();
    withGrid.add({-reach, -reach, 0});
    withGrid.add({reach, reach, 0});
  }
  const host::Frame frame = host::viewFrame(state.camera, width, height);
  const host::ViewMatrices matrices =
      host::viewMatrices(state.camera, static_cast<double>(frame.width) / std::max(frame.height, 1), withGrid);
  const Mat4 viewProjection = multiply(matrices.projection, matrices.view);

  glViewport(0, 0, width, height);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glDisable(GL_DITHER);
  auto clearTo = [picking](const std::uint8_t(&rgb)[3]) {
    glClearColor(picking ? 0 : rgb[0] / 255.0f, picking ? 0 : rgb[1] / 255.0f, picking ? 0 : rgb[2] / 255.0f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  };
  glClearDepth(1);
  const bool letterboxed = frame.width != width || frame.height != height;
  const int frameBottom = height - frame.y - frame.height;
  if (letterboxed && !picking) {
    // The band first, then the frame within it; picking's own scissor
    // stays as it is.
    clearTo(kLetterbox);
    glEnable(GL_SCISSOR_TEST);
    glScissor(frame.x, frameBottom, frame.width, frame.height);
    clearTo(kBackground);
    glDisable(GL_SCISSOR_TEST);
  } else {
    clearTo(kBackground);
  }
  glViewport(frame.x, frameBottom, frame.width, frame.height);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);

  // The grid first, leaving depth alone: the scene draws over it.
  if (!picking && grid) {
    glDepthMask(GL_FALSE);
    drawGrid(box, viewProjection);
    glDepthMask(GL_TRUE);
  }

  // Surfaces pushed back a little, so that edges drawn on them show.
  glEnable(GL_POLYGON_OFFSET_FILL);
  glPolygonOffset(1, 1);
  const gl::Program& surface = surface_;
  glUseProgram(surface.get());
  glUniformMatrix4fv(at(surface, "viewProjection"), 1, GL_FALSE, viewProjection.data());
  const float toEye[3] = {static_cast<float>(matrices.toEye[0]), static_cast<float>(matrices.toEye[1]),
                          static_cast<float>(matrices.toEye[2])};
  const float eye[3] = {static_cast<float>(matrices.eye[0]), static_cast<float>(matrices.eye[1]),
                        static_cast<float>(matrices.eye[2])};
  glUniform3fv(at(surface, "toEye"), 1, toEye);
  glUniform3fv(at(surface, "eye"), 1, eye);
  glUniform1i(at(surface, "orthographic"), matrices.orthographic ? 1 : 0);
  glUniform1i(at(surface, "flatColor"), state.flatColor ? 1 : 0);
  glUniform1i(at(surface, "picking"), picking ? 1 : 0);
  glUniform1i(at(surface, "baseTexture"), 0);
  glActiveTexture(GL_TEXTURE0);
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const Shown& one = shown[i];
    glUniformMatrix4fv(at(surface, "model"), 1, GL_FALSE, one.model.data());
    const std::array<float, 9> normals = normalMatrix(one.model);
    glUniformMatrix3fv(at(surface, "normalMatrix"), 1, GL_FALSE, normals.data());
    if (picking) glUniform4fv(at(surface, "pickColor"), 1, pickColor(i).data());
    auto wear = [&](const Material& material) {
      glUniform4fv(at(surface, "baseColor"), 1, material.color.data());
      glUniform1i(at(surface, "textured"), material.texture != 0 ? 1 : 0);
      glUniform1i(at(surface, "cutout"), material.cutout ? 1 : 0);
      glUniformMatrix3fv(at(surface, "uvTransform"), 1, GL_FALSE, material.uvTransform.data());
      glBindTexture(GL_TEXTURE_2D, material.texture);
    };
    if (one.materials.size() == 1) {
      wear(one.materials.front());
      one.mesh->drawFaces();
      continue;
    }
    for (std::size_t g = 0; g < one.materials.size(); ++g) {
      wear(one.materials[g]);
      one.mesh->drawFaces(one.mesh->groups()[g]);
    }
  }
  glDisable(GL_POLYGON_OFFSET_FILL);

  // Icons in their wire colour, white when selected; numbered after the
  // meshes for picking.
  glUseProgram(lines_.get());
  glUniformMatrix4fv(at(lines_, "viewProjection"), 1, GL_FALSE, viewProjection.data());
  glBindVertexArray(gridArray_.get());
  glBindBuffer(GL_ARRAY_BUFFER, gridBuffer_.get());
  for (std::size_t i = 0; i < drawn.icons.size(); ++i) {
    const Icon& icon = drawn.icons[i];
    const std::array<float, 4> color = picking         ? pickColor(shown.size() + i)
                                       : icon.selected ? color8(kSelection)
                                                       : wireColor(icon.node->GetWireColor());
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(icon.lines.size() * 4), icon.lines.data(), GL_STREAM_DRAW);
    glUniformMatrix4fv(at(lines_, "model"), 1, GL_FALSE, icon.model.data());
    glUniform4fv(at(lines_, "lineColor"), 1, color.data());
    glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(icon.lines.size() / 3));
  }
  if (picking) {
    glBindVertexArray(0);
    return;
  }

  // Edges: every object's in its wire colour with "Edged Faces", and the
  // selection's in white always.
  for (const Shown& one : shown) {
    if (!state.edgedFaces && !one.selected) continue;
    std::array<float, 4> color = color8(kSelection);
    if (!one.selected) {
      // The wire colour; half of it where the surface shows the wire
      // colour itself (no material), or the edges would not show.
      color = wireColor(one.node->GetWireColor(), one.node->GetMtl() == nullptr ? 0.5f : 1.0f);
    }
    glUniformMatrix4fv(at(lines_, "model"), 1, GL_FALSE, one.model.data());
    glUniform4fv(at(lines_, "lineColor"), 1, color.data());
    one.mesh->drawEdges(*one.object);
  }
  glBindVertexArray(0);
}

void SceneRenderer::draw(int width, int height, const host::ViewportState& state) {
  if (!ready() || width <= 0 || height <= 0) return;
  drawScene(width, height, state, false);
}

bool SceneRenderer::ensureTarget(int width, int height, std::string& error) {
  GLint largest = 0;
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
  // Within what the driver draws, and what a picture and its copies may
  // take (8192 x 8192 at most: 256 MB each).
  largest = std::min(largest, 8192);
  if (width <= 0 || height <= 0 || width > largest || height > largest) {
    error = "the size must be from 1x1 to " + std::to_string(largest) + "x" + std::to_string(largest);
    return false;
  }
  if (target_ != nullptr && target_->width == width && target_->height == height) {
    glBindFramebuffer(GL_FRAMEBUFFER, target_->framebuffer.get());
    return true;
  }
  auto target = std::make_unique<Target>();
  target->width = width;
  target->height = height;
  target->framebuffer = gl::newFramebuffer();
  target->color = gl::newRenderbuffer();
  target->depth = gl::newRenderbuffer();
  glBindRenderbuffer(GL_RENDERBUFFER, target->color.get());
  glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
  glBindRenderbuffer(GL_RENDERBUFFER, target->depth.get());
  glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
  glBindFramebuffer(GL_FRAMEBUFFER, target->framebuffer.get());
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, target->color.get());
  glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, target->depth.get());
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    error = "no framebuffer of " + std::to_string(width) + "x" + std::to_string(height);
    return false;
  }
  target_ = std::move(target);
  return true;
}

bool SceneRenderer::image(int width, int height, const host::ViewportState& state, std::vector<std::uint8_t>& rgba,
                          std::string& error) {
  if (!ready()) {
    error = error_;
    return false;
  }
  GLint previous = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &previous);
  const bool made = ensureTarget(width, height, error);
  if (made) {
    drawScene(width, height, state, false);
    const std::size_t row = static_cast<std::size_t>(width) * 4;
    std::vector<std::uint8_t> bottomUp(row * static_cast<std::size_t>(height));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    rgba.resize(bottomUp.size());
    for (int y = 0; y < height; ++y)
      std::memcpy(&rgba[static_cast<std::size_t>(y) * row], &bottomUp[static_cast<std::size_t>(height - 1 - y) * row],
                  row);
  }
  glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous));
  return made;
}

void SceneRenderer::finish() { glFinish(); }

std::string SceneRenderer::device() {
  const GLubyte* name = glGetString(GL_RENDERER);
  return name != nullptr ? reinterpret_cast<const char*>(name) : "";
}

INode* SceneRenderer::pick(int width, int height, const host::ViewportState& state, int x, int y) {
  std::string error;
  if (!ready() || x < 0 || y < 0 || x >= width || y >= height) return nullptr;
  GLint previous = 0;
  glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &previous);
  INode* node = nullptr;
  if (ensureTarget(width, height, error)) {
    // Only the pixels about the pointer are drawn.
    const int left = std::max(x - kPickReach, 0), right = std::min(x + kPickReach, width - 1);
    const int top = std::max(y - kPickReach, 0), bottom = std::min(y + kPickReach, height - 1);
    const int across = right - left + 1, down = bottom - top + 1;
    glEnable(GL_SCISSOR_TEST);
    glScissor(left, height - 1 - bottom, across, down);
    drawScene(width, height, state, true);
    glDisable(GL_SCISSOR_TEST);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(across * down) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(left, height - 1 - bottom, across, down, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    const Contents drawn = contents(state);
    // A surface counts only under the pointer itself; an icon's line
    // anywhere within reach, the nearest first.
    int best = -1;
    std::size_t found = 0;
    for (int row = 0; row < down; ++row) {
      for (int column = 0; column < across; ++column) {
        const std::uint8_t* p = &pixels[static_cast<std::size_t>(row * across + column) * 4];
        const std::uint32_t id = p[0] | (p[1] << 8) | (p[2] << 16);
        const int px = left + column, py = bottom - row;  // rows come from the bottom
        const int distance = (px - x) * (px - x) + (py - y) * (py - y);
        const bool icon = id > drawn.shown.size() && id <= drawn.shown.size() + drawn.icons.size();
        if (id == 0 || (!icon && distance != 0) || (best >= 0 && distance >= best)) continue;
        best = distance;
        found = id;
      }
    }
    if (found > 0 && found <= drawn.shown.size()) node = drawn.shown[found - 1].node;
    if (found > drawn.shown.size()) node = drawn.icons[found - 1 - drawn.shown.size()].node;
  }
  glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(previous));
  return node;
}

}  // namespace maxhost::viewport
