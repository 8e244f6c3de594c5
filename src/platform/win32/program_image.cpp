#include "platform/win32/program_image.h"

#include <windows.h>

#include <cstring>
#include <memory>

namespace kolvane::win32 {
namespace {

// The file checked at the start, open for the life of the process, and its
// bytes as they were checked. Set before the static constructors run, so
// they must need none.
HANDLE g_checked = nullptr;
unsigned char* g_checkedBytes = nullptr;
std::size_t g_checkedSize = 0;

template <typename T>
const T* At(const unsigned char* file, std::size_t size, std::size_t offset) {
  return offset <= size && sizeof(T) <= size - offset ? reinterpret_cast<const T*>(file + offset) : nullptr;
}

// The same file: same volume, same file number.
bool SameFile(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION x{};
  BY_HANDLE_FILE_INFORMATION y{};
  return ::GetFileInformationByHandle(a, &x) && ::GetFileInformationByHandle(b, &y) &&
         x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
         x.nFileIndexLow == y.nFileIndexLow;
}

}  // namespace

bool ImageMatchesFile(const unsigned char* image, const unsigned char* file, std::size_t size) {
  // Every bound comes from the image's own headers, which the loader read
  // as it mapped them: the file's headers must be the same bytes, but for
  // the load address the loader may note there, before anything else of
  // the file is believed or anything is allocated for it.
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
  const std::size_t ntOffset = static_cast<std::size_t>(dos->e_lfanew);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + ntOffset);
  const auto& optional = nt->OptionalHeader;
  const std::size_t imageSize = optional.SizeOfImage;
  const std::size_t headerSize = optional.SizeOfHeaders;
  const std::size_t baseOffset = ntOffset + offsetof(IMAGE_NT_HEADERS, OptionalHeader.ImageBase);
  const std::size_t baseEnd = baseOffset + sizeof(optional.ImageBase);
  if (headerSize > size || baseEnd > headerSize || optional.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_IAT ||
      std::memcmp(file, image, baseOffset) != 0 ||
      std::memcmp(file + baseEnd, image + baseEnd, headerSize - baseEnd) != 0) {
    return false;
  }
  decltype(optional.ImageBase) fileBase;
  std::memcpy(&fileBase, file + baseOffset, sizeof(fileBase));
  const std::size_t sectionsOffset =
      ntOffset + offsetof(IMAGE_NT_HEADERS, OptionalHeader) + nt->FileHeader.SizeOfOptionalHeader;
  const std::size_t count = nt->FileHeader.NumberOfSections;
  if (sectionsOffset + count * sizeof(IMAGE_SECTION_HEADER) > headerSize) return false;
  // What the loader made of the file: headers and sections where they are
  // mapped, each section as long as it is in both the file and the image.
  // Every page of an image is mapped; what no part of the file fills is
  // taken from the image as it is.
  const std::unique_ptr<unsigned char[]> expected(new unsigned char[imageSize]);
  std::memcpy(expected.get(), image, imageSize);
  const auto take = [&](std::size_t to, std::size_t from, std::size_t length) {
    if (from > size || length > size - from || to > imageSize || length > imageSize - to) return false;
    std::memcpy(expected.get() + to, file + from, length);
    return true;
  };
  if (!take(0, 0, headerSize)) return false;
  const auto* sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(image + sectionsOffset);
  for (std::size_t i = 0; i < count; ++i) {
    const IMAGE_SECTION_HEADER& s = sections[i];
    // A file that ends before a section does is not loaded at all.
    const std::size_t length = s.SizeOfRawData < s.Misc.VirtualSize ? s.SizeOfRawData : s.Misc.VirtualSize;
    if (s.PointerToRawData > size || s.SizeOfRawData > size - s.PointerToRawData ||
        !take(s.VirtualAddress, s.PointerToRawData, length)) {
      return false;
    }
  }
  // The loader moves an image that does not sit where it was built for and
  // may note the new place in its header.
  const ULONG_PTR delta = reinterpret_cast<ULONG_PTR>(image) - static_cast<ULONG_PTR>(fileBase);
  std::memcpy(expected.get() + baseOffset, image + baseOffset, sizeof(optional.ImageBase));
  if (delta != 0) {
    const IMAGE_DATA_DIRECTORY& relocations = optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC];
    std::size_t at = relocations.VirtualAddress;
    const std::size_t end = at + relocations.Size;
    if (end > imageSize || end < at || (nt->FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED) != 0) {
      return false;
    }
    while (at + sizeof(IMAGE_BASE_RELOCATION) <= end) {
      IMAGE_BASE_RELOCATION block;
      std::memcpy(&block, expected.get() + at, sizeof(block));
      if (block.SizeOfBlock < sizeof(block) || block.SizeOfBlock > end - at) return false;
      for (std::size_t entry = at + sizeof(block); entry + 2 <= at + block.SizeOfBlock; entry += 2) {
        WORD value;
        std::memcpy(&value, expected.get() + entry, sizeof(value));
        const std::size_t target = block.VirtualAddress + (value & 0xFFF);
        const int type = value >> 12;
        if (type == IMAGE_REL_BASED_ABSOLUTE) continue;
        if (type != (sizeof(ULONG_PTR) == 8 ? IMAGE_REL_BASED_DIR64 : IMAGE_REL_BASED_HIGHLOW) ||
            target + sizeof(ULONG_PTR) > imageSize) {
          return false;
        }
        ULONG_PTR address;
        std::memcpy(&address, expected.get() + target, sizeof(address));
        address += delta;
        std::memcpy(expected.get() + target, &address, sizeof(address));
      }
      at += block.SizeOfBlock;
    }
  }
  // The loader fills the import address table with the addresses it found;
  // what the file holds there is never used.
  const IMAGE_DATA_DIRECTORY& iat = optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT];
  if (iat.VirtualAddress > imageSize || iat.Size > imageSize - iat.VirtualAddress) return false;
  std::memcpy(expected.get() + iat.VirtualAddress, image + iat.VirtualAddress, iat.Size);
  return std::memcmp(expected.get(), image, imageSize) == 0;
}

bool CheckProgramFile(const wchar_t* path, const void* image) {
  ScopedFileHandle file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file.is_valid() || !::GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > (64 << 20)) {
    return false;
  }
  const auto bytes = static_cast<DWORD>(size.QuadPart);
  std::unique_ptr<unsigned char[]> content(new unsigned char[bytes]);
  DWORD read = 0;
  if (!::ReadFile(file.get(), content.get(), bytes, &read, nullptr) || read != bytes ||
      !ImageMatchesFile(static_cast<const unsigned char*>(image), content.get(), bytes)) {
    return false;
  }
  if (g_checked != nullptr) ::CloseHandle(g_checked);
  delete[] g_checkedBytes;
  g_checked = file.release();
  g_checkedBytes = content.release();
  g_checkedSize = bytes;
  return true;
}

const unsigned char* CheckedProgramBytes(std::size_t& size) {
  size = g_checkedSize;
  return g_checkedBytes;
}

ScopedFileHandle OpenCheckedProgramFile(const wchar_t* path) {
  ScopedFileHandle file(
      ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.is_valid() && !(g_checked != nullptr && SameFile(file.get(), g_checked))) file.reset();
  return file;
}

}  // namespace kolvane::win32
