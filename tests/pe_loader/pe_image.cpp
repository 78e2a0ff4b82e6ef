#include "tests/pe_loader/pe_image.h"

#include <sys/mman.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace tonalith::pe {

namespace {

constexpr uint16_t kMachineI386 = 0x14C;
constexpr uint16_t kOptionalMagicPe32 = 0x10B;
constexpr uint16_t kCharacteristicDll = 0x2000;
constexpr uint32_t kSectionExecute = 0x20000000;
constexpr uint32_t kSectionRead = 0x40000000;
constexpr uint32_t kSectionWrite = 0x80000000;
constexpr int kDirectoryExport = 0;
constexpr int kDirectoryImport = 1;
constexpr int kDirectoryRelocation = 5;
constexpr int kDirectoryTls = 9;
constexpr uint32_t kPage = 0x1000;

template <typename T>
T Load(const uint8_t* bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

// Bounds-checked reads from the file as it lies on disk.
struct FileView {
    const std::vector<uint8_t>& bytes;
    template <typename T>
    T At(size_t offset) const {
        if (offset > bytes.size() || bytes.size() - offset < sizeof(T))
            throw PeError("file ends inside its headers (offset " + Hex(static_cast<uint32_t>(offset)) + ")");
        return Load<T>(bytes.data() + offset);
    }
};

}  // namespace

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw PeError("cannot open " + path);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

PeImage::PeImage(const std::vector<uint8_t>& file, const ImportResolver& resolve) {
    try {
        Map(file, resolve);
    } catch (...) {
        if (base_ != 0) munmap(reinterpret_cast<void*>(base_), size_);
        throw;
    }
}

void PeImage::Map(const std::vector<uint8_t>& file, const ImportResolver& resolve) {
    const FileView view{file};
    if (view.At<uint16_t>(0) != 0x5A4D) throw PeError("no MZ header");
    const uint32_t pe = view.At<uint32_t>(0x3C);
    if (view.At<uint32_t>(pe) != 0x00004550) throw PeError("no PE signature");
    const uint32_t coff = pe + 4;
    if (view.At<uint16_t>(coff) != kMachineI386) throw PeError("not an i386 image");
    const uint16_t sectionCount = view.At<uint16_t>(coff + 2);
    carriesSymbols_ = view.At<uint32_t>(coff + 12) != 0;  // NumberOfSymbols
    const uint16_t optionalSize = view.At<uint16_t>(coff + 16);
    if ((view.At<uint16_t>(coff + 18) & kCharacteristicDll) == 0) throw PeError("not a DLL");
    const uint32_t opt = coff + 20;
    if (view.At<uint16_t>(opt) != kOptionalMagicPe32) throw PeError("not a PE32 image");
    const uint32_t entryRva = view.At<uint32_t>(opt + 16);
    preferredBase_ = view.At<uint32_t>(opt + 28);
    size_ = view.At<uint32_t>(opt + 56);
    const uint32_t headerSize = view.At<uint32_t>(opt + 60);
    const uint32_t directoryCount = view.At<uint32_t>(opt + 92);
    auto directory = [&](int index) -> std::pair<uint32_t, uint32_t> {
        if (static_cast<uint32_t>(index) >= directoryCount) return {0, 0};
        return {view.At<uint32_t>(opt + 96 + 8 * index), view.At<uint32_t>(opt + 100 + 8 * index)};
    };
    if (size_ == 0 || size_ > (256u << 20) || headerSize > size_) throw PeError("implausible image size");

    // Anywhere but the preferred base: the relocations must do their work.
    void* mapped = mmap(nullptr, size_ + kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw PeError("cannot reserve " + Hex(size_) + " bytes");
    base_ = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(mapped));
    if (base_ == preferredBase_) {
        munmap(reinterpret_cast<void*>(base_ + size_), kPage);
        base_ += kPage;
        munmap(mapped, kPage);
    } else {
        munmap(reinterpret_cast<void*>(base_ + size_), kPage);
    }
    std::memcpy(reinterpret_cast<void*>(base_), file.data(), std::min<size_t>(headerSize, file.size()));

    const uint32_t sectionTable = opt + optionalSize;
    for (uint16_t i = 0; i < sectionCount; ++i) {
        const uint32_t header = sectionTable + 40u * i;
        char name[9] = {};
        for (int k = 0; k < 8; ++k) name[k] = static_cast<char>(view.At<uint8_t>(header + k));
        Section section{name, view.At<uint32_t>(header + 12), view.At<uint32_t>(header + 8),
                        view.At<uint32_t>(header + 36)};
        const uint32_t rawSize = view.At<uint32_t>(header + 16);
        const uint32_t rawOffset = view.At<uint32_t>(header + 20);
        if (section.rva > size_ || size_ - section.rva < section.virtualSize)
            throw PeError("section " + section.name + " lies outside the image");
        const uint32_t copy = std::min(rawSize, section.virtualSize);
        if (copy > 0) {
            if (rawOffset > file.size() || file.size() - rawOffset < copy)
                throw PeError("section " + section.name + " lies outside the file");
            std::memcpy(reinterpret_cast<void*>(base_ + section.rva), file.data() + rawOffset, copy);
        }
        sections_.push_back(section);
    }

    if (base_ != preferredBase_) {
        const auto [rva, bytes] = directory(kDirectoryRelocation);
        if (rva == 0) throw PeError("the DLL cannot move from its preferred base: it has no relocations");
        Relocate(rva, bytes);
    }
    BindImports(directory(kDirectoryImport).first, resolve);
    ReadTls(directory(kDirectoryTls).first);
    std::tie(exportRva_, exportSize_) = directory(kDirectoryExport);
    entryPoint_ = entryRva != 0 ? Rva(entryRva, 1) : 0;
    Protect();
}

PeImage::~PeImage() { munmap(reinterpret_cast<void*>(base_), size_); }

uint32_t PeImage::Rva(uint32_t rva, uint32_t length) const {
    if (rva > size_ || size_ - rva < length) throw PeError("address " + Hex(rva) + " lies outside the image");
    return base_ + rva;
}

void PeImage::Relocate(uint32_t rva, uint32_t size) {
    const uint32_t delta = base_ - preferredBase_;
    uint32_t offset = 0;
    while (offset + 8 <= size) {
        const uint32_t page = Load<uint32_t>(reinterpret_cast<uint8_t*>(Rva(rva + offset, 8)));
        const uint32_t blockSize = Load<uint32_t>(reinterpret_cast<uint8_t*>(Rva(rva + offset + 4, 4)));
        if (blockSize < 8 || blockSize > size - offset) throw PeError("malformed relocation block");
        for (uint32_t entry = 8; entry + 2 <= blockSize; entry += 2) {
            const uint16_t word = Load<uint16_t>(reinterpret_cast<uint8_t*>(Rva(rva + offset + entry, 2)));
            const int type = word >> 12;
            if (type == 0) continue;  // padding
            if (type != 3) throw PeError("relocation type " + std::to_string(type) + " is not for i386");
            auto* target = reinterpret_cast<uint8_t*>(Rva(page + (word & 0xFFF), 4));
            const uint32_t value = Load<uint32_t>(target) + delta;
            std::memcpy(target, &value, 4);
            ++relocationsApplied_;
        }
        offset += blockSize;
    }
}

void PeImage::BindImports(uint32_t rva, const ImportResolver& resolve) {
    if (rva == 0) return;
    for (uint32_t descriptor = rva;; descriptor += 20) {
        const auto* d = reinterpret_cast<const uint8_t*>(Rva(descriptor, 20));
        const uint32_t lookup = Load<uint32_t>(d);
        const uint32_t nameRva = Load<uint32_t>(d + 12);
        const uint32_t addresses = Load<uint32_t>(d + 16);
        if (nameRva == 0 && addresses == 0) break;
        const std::string dll(reinterpret_cast<const char*>(Rva(nameRva, 1)));
        const uint32_t names = lookup != 0 ? lookup : addresses;
        for (uint32_t k = 0;; k += 4) {
            const uint32_t entry = Load<uint32_t>(reinterpret_cast<uint8_t*>(Rva(names + k, 4)));
            if (entry == 0) break;
            if (entry & 0x80000000u)
                throw PeError("imports " + dll + " ordinal " + std::to_string(entry & 0xFFFF) +
                              ", which the loader does not provide");
            const std::string name(reinterpret_cast<const char*>(Rva(entry + 2, 1)));
            const std::optional<uint32_t> bound = resolve(dll, name);
            if (!bound) throw PeError("imports " + dll + "!" + name + ", which the loader does not provide");
            std::memcpy(reinterpret_cast<void*>(Rva(addresses + k, 4)), &*bound, 4);
            boundImports_.push_back(dll + "!" + name);
        }
    }
}

void PeImage::ReadTls(uint32_t rva) {
    if (rva == 0) return;
    const auto* d = reinterpret_cast<const uint8_t*>(Rva(rva, 24));
    tls_.start = Load<uint32_t>(d);
    tls_.end = Load<uint32_t>(d + 4);
    tls_.indexAddress = Load<uint32_t>(d + 8);
    const uint32_t callbacks = Load<uint32_t>(d + 12);
    tls_.zeroFill = Load<uint32_t>(d + 16);
    if (tls_.end < tls_.start || SectionAt(tls_.start) == nullptr || SectionAt(tls_.indexAddress) == nullptr)
        throw PeError("malformed TLS directory");
    if (callbacks != 0) {
        for (uint32_t at = callbacks;; at += 4) {
            if (SectionAt(at) == nullptr) throw PeError("TLS callback list lies outside the image");
            const uint32_t callback = Load<uint32_t>(reinterpret_cast<uint8_t*>(at));
            if (callback == 0) break;
            tls_.callbacks.push_back(callback);
        }
    }
}

void PeImage::Protect() {
    mprotect(reinterpret_cast<void*>(base_), kPage, PROT_READ);
    for (const Section& section : sections_) {
        int protection = 0;
        if (section.characteristics & kSectionRead) protection |= PROT_READ;
        if (section.characteristics & kSectionWrite) protection |= PROT_WRITE;
        if (section.characteristics & kSectionExecute) protection |= PROT_EXEC | PROT_READ;
        const uint32_t length = (section.virtualSize + kPage - 1) & ~(kPage - 1);
        if (length > 0) mprotect(reinterpret_cast<void*>(base_ + section.rva), length, protection);
    }
}

std::vector<std::string> PeImage::ExportNames() const {
    std::vector<std::string> names;
    if (exportRva_ == 0) return names;
    const auto* d = reinterpret_cast<const uint8_t*>(Rva(exportRva_, 40));
    const uint32_t count = Load<uint32_t>(d + 24);
    const uint32_t nameTable = Load<uint32_t>(d + 32);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t nameRva = Load<uint32_t>(reinterpret_cast<uint8_t*>(Rva(nameTable + 4 * i, 4)));
        names.emplace_back(reinterpret_cast<const char*>(Rva(nameRva, 1)));
    }
    return names;
}

uint32_t PeImage::FindExport(const std::string& name) const {
    if (exportRva_ == 0) return 0;
    const auto* d = reinterpret_cast<const uint8_t*>(Rva(exportRva_, 40));
    const uint32_t functionCount = Load<uint32_t>(d + 20);
    const uint32_t nameCount = Load<uint32_t>(d + 24);
    const uint32_t functions = Load<uint32_t>(d + 28);
    const uint32_t nameTable = Load<uint32_t>(d + 32);
    const uint32_t ordinals = Load<uint32_t>(d + 36);
    for (uint32_t i = 0; i < nameCount; ++i) {
        const uint32_t nameRva = Load<uint32_t>(reinterpret_cast<uint8_t*>(Rva(nameTable + 4 * i, 4)));
        if (name != reinterpret_cast<const char*>(Rva(nameRva, 1))) continue;
        const uint16_t index = Load<uint16_t>(reinterpret_cast<uint8_t*>(Rva(ordinals + 2 * i, 2)));
        if (index >= functionCount) throw PeError("export " + name + " has no address");
        const uint32_t target = Load<uint32_t>(reinterpret_cast<uint8_t*>(Rva(functions + 4 * index, 4)));
        if (target >= exportRva_ && target < exportRva_ + exportSize_)
            throw PeError("export " + name + " is forwarded elsewhere");
        return Rva(target, 1);
    }
    return 0;
}

const Section* PeImage::SectionAt(uint32_t address) const {
    for (const Section& section : sections_)
        if (address >= base_ + section.rva && address - (base_ + section.rva) < section.virtualSize)
            return &section;
    return nullptr;
}

}  // namespace tonalith::pe
