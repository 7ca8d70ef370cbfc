// Test helper: drops files on the window of class "Folvex" as the shell would.
//   post_drop.exe X Y PATH...   (X, Y: the drop point in the window's client coordinates)
// A drop handle is memory of the receiving process, so the DROPFILES block is written into that
// process and its address is posted as WM_DROPFILES.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fputs("usage: post_drop X Y PATH...\n", stderr);
    return 2;
  }
  HWND window = FindWindowW(L"Folvex", nullptr);
  if (window == nullptr) {
    std::fputs("post_drop: no Folvex window\n", stderr);
    return 1;
  }
  std::vector<wchar_t> names;
  for (int i = 3; i < argc; ++i) names.insert(names.end(), argv[i], argv[i] + std::wcslen(argv[i]) + 1);
  names.push_back(L'\0');

  DROPFILES header{};
  header.pFiles = sizeof(DROPFILES);
  header.pt.x = std::wcstol(argv[1], nullptr, 10);
  header.pt.y = std::wcstol(argv[2], nullptr, 10);
  header.fNC = FALSE;
  header.fWide = TRUE;
  std::vector<unsigned char> block(sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
  std::memcpy(block.data(), &header, sizeof(header));
  std::memcpy(block.data() + sizeof(header), names.data(), names.size() * sizeof(wchar_t));

  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, processId);
  if (process == nullptr) {
    std::fprintf(stderr, "post_drop: cannot open the process (%lu)\n", GetLastError());
    return 1;
  }
  void* remote = VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  SIZE_T written = 0;
  const bool placed = remote != nullptr && WriteProcessMemory(process, remote, block.data(), block.size(), &written) &&
                      written == block.size();
  CloseHandle(process);
  if (!placed) {
    std::fprintf(stderr, "post_drop: cannot place the drop (%lu)\n", GetLastError());
    return 1;
  }
  if (!PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0)) {
    std::fprintf(stderr, "post_drop: cannot post the drop (%lu)\n", GetLastError());
    return 1;
  }
  return 0;
}
