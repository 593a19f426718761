#pragma once
// The host scene as binary glTF 2.0 (.glb): nodes with their transforms in
// glTF's frame (Y up, metres), meshes and polygon objects as triangles whose
// vertex data instances share, Physical Materials as metallic-roughness with
// KHR extensions, bitmaps embedded. Written streaming, one mesh at a time;
// the same scene gives the same bytes.
#include <string>

#include "report/report.h"

namespace cvimp {

// Writes the scene to `path` (through a temporary file beside it, renamed
// at the end: a failure leaves no partial file). What the export leaves
// out goes into `report`, marked as export. False with a short text in
// `error` when the file cannot be written.
bool writeSceneGlb(const std::string& path, Report& report, std::string& error);

}  // namespace cvimp
