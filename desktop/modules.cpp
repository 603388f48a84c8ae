#include "desktop/modules.h"

#include <QLibrary>
#include <QString>

#include "platform/executable_path.h"

std::vector<std::string> ModulePaths(const std::string& ExecutablePath, const std::string& Module) {
  const std::string folder = ExecutablePath.substr(0, ExecutablePath.rfind('/') + 1);
  return {folder + Module, folder + QUILLBY_INSTALLED_MODULES + "/" + Module};
}

void* ModuleFunction(const std::string& Module, const char* Name) {
  std::string executable;
  try {
    executable = platform::ExecutablePath();
  } catch (...) {
    return nullptr;
  }
  for (const std::string& path : ModulePaths(executable, Module)) {
    QLibrary module(QString::fromStdString(path));
    if (QFunctionPointer function = module.resolve(Name)) {
      return reinterpret_cast<void*>(function);
    }
  }
  return nullptr;
}
