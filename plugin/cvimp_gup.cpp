#include "plugin/cvimp_gup.h"

CvimpGUP::~CvimpGUP() = default;

void CvimpGUP::resetImportOptions() {
  importMesh = true;
  importCamera = true;
  importMaterial = true;
  importLight = true;
  importAnimation = true;
  quadrifyMesh = false;
}
