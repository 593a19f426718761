#pragma once
// Class descriptors: what a plug-in module tells the host about each class
// it provides, and how the host creates its objects.
#include <vector>

#include "host/host_types.h"

class ActionTable;
class FPInterface;

class ClassDesc {
 public:
  ClassDesc() = default;
  ClassDesc(const ClassDesc&) = delete;
  ClassDesc& operator=(const ClassDesc&) = delete;
  // Releases the list of function-publishing interfaces.
  virtual ~ClassDesc() { interfaces_.clear(); }

  virtual int IsPublic() = 0;
  virtual void* Create(BOOL loading = FALSE) = 0;
  virtual const MCHAR* ClassName() = 0;
  virtual const MCHAR* NonLocalizedClassName() = 0;
  virtual SClass_ID SuperClassID() = 0;
  virtual Class_ID ClassID() = 0;
  virtual const MCHAR* Category() = 0;

  virtual int NumActionTables() { return 0; }
  virtual ActionTable* GetActionTable(int) { return nullptr; }

  // Function-publishing interfaces, which the descriptor keeps but does not own.
  int NumInterfaces() const { return static_cast<int>(interfaces_.size()); }
  FPInterface* GetInterfaceAt(int i) const { return interfaces_[static_cast<std::size_t>(i)]; }
  void AddInterface(FPInterface* fpInterface) { interfaces_.push_back(fpInterface); }

 private:
  std::vector<FPInterface*> interfaces_;
};
