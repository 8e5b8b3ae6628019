#include "binding/elf_needed.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace vantrel {
namespace {

template <typename T>
bool ReadAt(const std::string& data, uint64_t offset, T& out) {
  if (offset > data.size() || data.size() - offset < sizeof(T)) return false;
  std::memcpy(&out, data.data() + offset, sizeof(T));
  return true;
}

// Maps a virtual address to a file offset through the loadable segments.
bool VirtualToOffset(const std::string& data, const Elf64_Ehdr& eh, uint64_t vaddr, uint64_t& off) {
  for (uint16_t i = 0; i < eh.e_phnum; ++i) {
    Elf64_Phdr ph;
    if (!ReadAt(data, eh.e_phoff + uint64_t(i) * eh.e_phentsize, ph)) return false;
    if (ph.p_type == PT_LOAD && vaddr >= ph.p_vaddr && vaddr - ph.p_vaddr < ph.p_filesz) {
      off = vaddr - ph.p_vaddr + ph.p_offset;
      return true;
    }
  }
  return false;
}

}  // namespace

std::vector<std::string> ElfNeededLibraries(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  Elf64_Ehdr eh;
  if (!ReadAt(data, 0, eh) || std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 ||
      eh.e_ident[EI_CLASS] != ELFCLASS64 || eh.e_ident[EI_DATA] != ELFDATA2LSB ||
      eh.e_phentsize < sizeof(Elf64_Phdr))
    return {};
  Elf64_Phdr dyn{};
  bool found = false;
  for (uint16_t i = 0; i < eh.e_phnum && !found; ++i) {
    if (!ReadAt(data, eh.e_phoff + uint64_t(i) * eh.e_phentsize, dyn)) return {};
    found = dyn.p_type == PT_DYNAMIC;
  }
  if (!found) return {};
  std::vector<uint64_t> neededOffsets;
  uint64_t strtabAddr = 0;
  for (uint64_t pos = dyn.p_offset; pos + sizeof(Elf64_Dyn) <= dyn.p_offset + dyn.p_filesz;
       pos += sizeof(Elf64_Dyn)) {
    Elf64_Dyn d;
    if (!ReadAt(data, pos, d) || d.d_tag == DT_NULL) break;
    if (d.d_tag == DT_NEEDED) neededOffsets.push_back(d.d_un.d_val);
    if (d.d_tag == DT_STRTAB) strtabAddr = d.d_un.d_ptr;
  }
  uint64_t strtab = 0;
  if (!VirtualToOffset(data, eh, strtabAddr, strtab)) return {};
  std::vector<std::string> names;
  for (uint64_t rel : neededOffsets) {
    if (strtab + rel >= data.size()) continue;
    const char* s = data.data() + strtab + rel;
    names.emplace_back(s, strnlen(s, data.size() - (strtab + rel)));
  }
  return names;
}

}  // namespace vantrel
