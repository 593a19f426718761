#pragma once
// The class descriptor of the plug-in's one class, CvimpGUP, and the action
// table of its commands, built when the host first asks for it.
#include "host/max.h"

inline constexpr ActionTableId kCvimpActionTableId = 0x2E932E12;
inline constexpr ActionContextId kCvimpActionContextId = 0x43600283;
inline constexpr Class_ID kCvimpClassId(0x55395f2f, 0x27fc3779);

class CvimpClassDesc : public ClassDesc {
 public:
  ~CvimpClassDesc() override = default;

  int IsPublic() override { return 1; }
  void* Create(BOOL loading = FALSE) override;
  const MCHAR* ClassName() override;
  const MCHAR* NonLocalizedClassName() override { return u"cvimp"; }
  SClass_ID SuperClassID() override { return GUP_CLASS_ID; }
  Class_ID ClassID() override { return kCvimpClassId; }
  const MCHAR* Category() override;
  int NumActionTables() override { return 1; }
  // Built on the first call that finds an action manager; the index is not
  // looked at. The host keeps the table: it is never released here.
  ActionTable* GetActionTable(int index) override;

  ActionTable* actionTable = nullptr;
};

// The module's one descriptor, alive while the module is loaded.
CvimpClassDesc* cvimpClassDesc();
