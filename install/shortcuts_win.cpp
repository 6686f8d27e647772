#include "install/shortcuts.h"

#include <objidl.h>
#include <shlobj.h>

#include <cstring>

#include "app/bounded_text.h"
#include "app/log.h"
#include "install/shell_folders.h"

namespace {

// Releases a COM interface once, when it goes out of scope.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (m_p)
      m_p->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  Interface* operator->() const { return m_p; }
  void** receive() { return reinterpret_cast<void**>(&m_p); }

 private:
  Interface* m_p = nullptr;
};

}  // namespace

HRESULT createShortcut(const char* target,
                       const char* linkPath,
                       const char* description,
                       const char* arguments) {
  char workingFolder[MAX_PATH] = "";
  if (const char* slash = strrchr(target, '\\'))
    copyTextPart(workingFolder, sizeof workingFolder, target, static_cast<size_t>(slash - target));
  else
    copyText(workingFolder, sizeof workingFolder, target);

  ComPtr<IShellLinkA> link;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    link.receive());
  if (FAILED(result))
    return result;
  link->SetPath(target);
  link->SetDescription(description);
  link->SetWorkingDirectory(workingFolder);
  if (arguments)
    link->SetArguments(arguments);

  ComPtr<IPersistFile> file;
  result = link->QueryInterface(IID_IPersistFile, file.receive());
  if (FAILED(result))
    return result;
  WCHAR widePath[MAX_PATH] = L"";
  if (!MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, MAX_PATH))
    return E_INVALIDARG;  // a link path longer than a path can be
  return file->Save(widePath, TRUE);
}

int createMenuShortcut(const char* group,
                       const char* folder,
                       const char* fileName,
                       const char* shortcutName,
                       bool allUsers,
                       const char* arguments) {
  char target[MAX_PATH] = "";
  char programs[MAX_PATH] = "";
  char groupFolder[MAX_PATH] = "";
  char link[MAX_PATH] = "";
  if (!formatText(target, sizeof target, "%s\\%s", folder, fileName) ||
      !getProgramsFolder(programs, sizeof programs, allUsers) ||
      !formatText(groupFolder, sizeof groupFolder, "%s\\%s", programs, group) ||
      !formatText(link, sizeof link, "%s\\%s.lnk", groupFolder, shortcutName)) {
    logMessage(LOG_WARNING, "createMenuShortcut: no programs folder or path too long for %s",
               shortcutName);
    return 0;
  }
  CreateDirectoryA(groupFolder, nullptr);
  HRESULT result = createShortcut(target, link, target, arguments);
  if (FAILED(result))
    logMessage(LOG_WARNING, "createMenuShortcut: %s not created (0x%08lx)", link,
               static_cast<unsigned long>(result));
  return 0;
}

int createDesktopShortcut(const char* folder,
                          const char* fileName,
                          const char* shortcutName,
                          bool remove) {
  char desktop[MAX_PATH] = "";
  char target[MAX_PATH] = "";
  char link[MAX_PATH] = "";
  if (!getDesktopFolder(desktop, sizeof desktop, true) ||
      !formatText(target, sizeof target, "%s\\%s", folder, fileName) ||
      !formatText(link, sizeof link, "%s\\%s.lnk", desktop, shortcutName)) {
    logMessage(LOG_WARNING, "createDesktopShortcut: no desktop folder or path too long");
    return 0;
  }
  if (remove) {
    DeleteFileA(link);
    return 0;
  }
  HRESULT result = createShortcut(target, link, target, nullptr);
  if (FAILED(result))
    logMessage(LOG_WARNING, "createDesktopShortcut: %s not created (0x%08lx)", link,
               static_cast<unsigned long>(result));
  return 0;
}
