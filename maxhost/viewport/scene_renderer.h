#pragma once
// Draws the host scene as 3ds Max's viewport shows it, with OpenGL 3.3 core
// in the context current when it is made (a window's or one without a
// window system): each node's object under its transform, shaded with its
// material's base colour and base colour map under a head light (each
// face with its sub-material under a Multi/Sub-Object material), or unlit
// in the "Flat Color" style; polygon edges with "Edged Faces"; the
// selection's edges in white; the grid on the ground plane. Objects go up
// to the GPU once and are shared by their instances.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "gltf/material_export.h"
#include "host/max.h"
#include "host/stand_in.h"
#include "maxhost/viewport/gl_names.h"
#include "maxhost/viewport/gpu_mesh.h"

namespace maxhost::viewport {

// The viewport's own colours, as 8-bit RGB.
inline constexpr std::uint8_t kBackground[3] = {68, 68, 68};
inline constexpr std::uint8_t kGridLine[3] = {96, 96, 96};
inline constexpr std::uint8_t kGridAxis[3] = {28, 28, 28};
inline constexpr std::uint8_t kSelection[3] = {255, 255, 255};
// Beside a Camera view's frame.
inline constexpr std::uint8_t kLetterbox[3] = {40, 40, 40};

struct UploadStats {
  std::size_t objects = 0;  // uploaded by this call
  std::size_t triangles = 0;
  std::size_t bytes = 0;
};

class SceneRenderer {
 public:
  // Compiles the programs; check ready() (and error()) after.
  SceneRenderer();
  ~SceneRenderer();
  SceneRenderer(const SceneRenderer&) = delete;
  SceneRenderer& operator=(const SceneRenderer&) = delete;

  bool ready() const { return error_.empty(); }
  const std::string& error() const { return error_; }

  // Uploads the objects, materials and textures that are new since the
  // last call and lets go of those no longer in the scene. Draws call it.
  UploadStats sync();
  // Draws a picture of `width` x `height` into the bound framebuffer.
  void draw(int width, int height, const host::ViewportState& state);
  // The picture as RGBA rows from the top, drawn into a framebuffer of
  // its own; false with a text when the size cannot be drawn.
  bool image(int width, int height, const host::ViewportState& state, std::vector<std::uint8_t>& rgba,
             std::string& error);
  // Waits until the GPU has done all it was asked (for timing).
  static void finish();
  // The OpenGL renderer, as the driver names it.
  static std::string device();
  // The node whose surface is under pixel (x, y) from the top left, or
  // else the camera or light whose icon passes within a few pixels of it;
  // null for none.
  INode* pick(int width, int height, const host::ViewportState& state, int x, int y);

 private:
  struct Target;
  struct Material {
    std::array<float, 4> color{1, 1, 1, 1};
    GLuint texture = 0;
    std::array<float, 9> uvTransform{1, 0, 0, 0, 1, 0, 0, 0, 1};  // column-major
    bool cutout = false;
  };
  struct Shown {
    INode* node;
    GpuMesh* mesh;
    Object* object;
    std::array<float, 16> model;
    // One for the whole mesh, or one per group of the mesh under a
    // Multi/Sub-Object material.
    std::vector<Material> materials;
    bool selected;
  };
  struct Icon {
    INode* node;
    std::array<float, 16> model;
    std::vector<float> lines;
    bool selected;
  };
  // What a picture shows, in the order picking numbers it: meshes, then
  // icons.
  struct Contents {
    std::vector<Shown> shown;
    std::vector<Icon> icons;
    host::Box box;  // of both
  };

  Contents contents(const host::ViewportState& state);
  void drawScene(int width, int height, const host::ViewportState& state, bool picking);
  void drawGrid(const host::Box& box, const std::array<float, 16>& viewProjection);
  std::vector<Material> materialsOf(INode& node, const GpuMesh& mesh);
  Material materialOf(Mtl* worn, DWORD wire, const GpuMesh& mesh);
  void syncMaterials();
  GLuint textureOf(std::size_t image);
  bool ensureTarget(int width, int height, std::string& error);

  std::string error_;
  gl::Program surface_, lines_;
  gl::VertexArray gridArray_;
  gl::Buffer gridBuffer_;  // the grid's and the icons' lines, streamed

  struct Cached {
    std::unique_ptr<GpuMesh> mesh;  // null: nothing to draw
    std::array<long long, 4> version{};
  };
  std::unordered_map<AnimHandle, Cached> meshes_;

  // Materials as the glTF export sees them, kept while the scene's
  // materials stay the same ones.
  std::vector<AnimHandle> materialHandles_;
  std::unique_ptr<cvimp::Report> materialReport_;
  std::unique_ptr<cvimp::gltf::MaterialTable> materialTable_;
  std::map<int, Material> materials_;            // by the table's index
  std::map<std::string, gl::Texture> textures_;  // by image path and bytes

  std::unique_ptr<Target> target_;
};

}  // namespace maxhost::viewport
