// A small console tool that reads shortcut files back through the shell's
// IShellLink, for the tests of the setup program.
//
//   shortcut_tool FOLDER OUT_PATH
//
// Writes OUT_PATH (written beside and renamed, so that it appears whole) as
// one JSON object, ASCII only (other characters as \uXXXX):
//   {"folder_found": bool,
//    "shortcuts": [{"name": "tovrin.lnk", "loaded": bool, "target": "C:\\...",
//                   "arguments": "", "working_dir": "C:\\...",
//                   "hotkey": 1617, "show": 1, "icon": "", "icon_index": 0,
//                   "description": ".."}, ...]}
// "hotkey" is the shell's value: the virtual-key code in the low byte, the
// HOTKEYF_ modifier bits in the high byte (Ctrl+Alt+Q is 0x0651).
// Exit code 0 when OUT_PATH was written, 1 when it could not be, 2 on bad
// usage.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "json_quote.h"

namespace {

std::string ShortcutJson(const std::wstring& folder, const std::wstring& name) {
  std::string out = "{\"name\": " + JsonQuote(name);
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  bool loaded = false;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    std::wstring path = folder + L"\\" + name;
    loaded = SUCCEEDED(file->Load(path.c_str(), STGM_READ));
  }
  out += std::string(", \"loaded\": ") + (loaded ? "true" : "false");
  if (loaded) {
    wchar_t text[1024];
    auto field = [&](const char* key, HRESULT hr) {
      out += std::string(", \"") + key + "\": " + (SUCCEEDED(hr) ? JsonQuote(text) : "null");
    };
    text[0] = L'\0';
    field("target", link->GetPath(text, 1024, nullptr, SLGP_RAWPATH));
    text[0] = L'\0';
    field("arguments", link->GetArguments(text, 1024));
    text[0] = L'\0';
    field("working_dir", link->GetWorkingDirectory(text, 1024));
    text[0] = L'\0';
    field("description", link->GetDescription(text, 1024));
    int iconIndex = 0;
    text[0] = L'\0';
    field("icon", link->GetIconLocation(text, 1024, &iconIndex));
    WORD hotkey = 0;
    int show = 0;
    out += ", \"icon_index\": " + std::to_string(iconIndex);
    out += ", \"hotkey\": " + (SUCCEEDED(link->GetHotkey(&hotkey)) ? std::to_string(hotkey) : "null");
    out += ", \"show\": " + (SUCCEEDED(link->GetShowCmd(&show)) ? std::to_string(show) : "null");
  }
  if (file) file->Release();
  if (link) link->Release();
  return out + "}";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: shortcut_tool FOLDER OUT_PATH\n");
    return 2;
  }
  std::wstring folder = argv[1];
  std::wstring outPath = argv[2];
  CoInitialize(nullptr);

  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*.lnk").c_str(), &found);
  DWORD attributes = GetFileAttributesW(folder.c_str());
  bool folderFound = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  std::string json = std::string("{\"folder_found\": ") + (folderFound ? "true" : "false") + ", \"shortcuts\": [";
  for (size_t i = 0; i < names.size(); ++i) json += (i ? ",\n  " : "\n  ") + ShortcutJson(folder, names[i]);
  json += "]}\n";
  CoUninitialize();

  std::wstring partial = outPath + L".part";
  HANDLE out = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  bool ok = WriteFile(out, json.data(), static_cast<DWORD>(json.size()), &written, nullptr) && written == json.size();
  CloseHandle(out);
  if (!ok || !MoveFileExW(partial.c_str(), outPath.c_str(), MOVEFILE_REPLACE_EXISTING)) return 1;
  return 0;
}
