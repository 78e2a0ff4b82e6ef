// A 32-bit PE (PE32, i386) DLL mapped into this process: sections placed at a base other than the
// one it prefers (so every base relocation is exercised), every import bound through a resolver
// that must know it, section protections applied. Nothing here needs the file's symbols: the one
// way in is the export table.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tonalith::pe {

struct PeError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Returns the address bound to `dll`!`name`, or nothing for an import the loader does not know.
using ImportResolver =
    std::function<std::optional<uint32_t>(const std::string& dll, const std::string& name)>;

struct Section {
    std::string name;
    uint32_t rva = 0;
    uint32_t virtualSize = 0;
    uint32_t characteristics = 0;
};

struct TlsTemplate {
    uint32_t start = 0;  // the initial data, as addresses in the mapped image
    uint32_t end = 0;
    uint32_t zeroFill = 0;
    uint32_t indexAddress = 0;  // where the loader writes the module's TLS index
    std::vector<uint32_t> callbacks;
};

std::vector<uint8_t> ReadWholeFile(const std::string& path);

class PeImage {
public:
    // Throws PeError naming the problem: not a PE32 i386 DLL, a section or table out of bounds, an
    // unknown relocation type, an import by ordinal or one the resolver does not know.
    PeImage(const std::vector<uint8_t>& file, const ImportResolver& resolve);
    ~PeImage();
    PeImage(const PeImage&) = delete;
    PeImage& operator=(const PeImage&) = delete;

    uint32_t base() const { return base_; }
    uint32_t preferredBase() const { return preferredBase_; }
    uint32_t size() const { return size_; }
    uint32_t entryPoint() const { return entryPoint_; }  // 0: none
    uint32_t relocationsApplied() const { return relocationsApplied_; }
    const TlsTemplate& tls() const { return tls_; }
    const std::vector<Section>& sections() const { return sections_; }
    const std::vector<std::string>& boundImports() const { return boundImports_; }  // "DLL!name"
    bool carriesSymbols() const { return carriesSymbols_; }  // a COFF symbol table

    std::vector<std::string> ExportNames() const;
    uint32_t FindExport(const std::string& name) const;  // 0 when absent
    // The section an address lies in, or null.
    const Section* SectionAt(uint32_t address) const;

private:
    void Map(const std::vector<uint8_t>& file, const ImportResolver& resolve);
    uint32_t Rva(uint32_t rva, uint32_t length) const;  // address, bounds checked
    void Relocate(uint32_t rva, uint32_t size);
    void BindImports(uint32_t rva, const ImportResolver& resolve);
    void ReadTls(uint32_t rva);
    void Protect();

    uint32_t base_ = 0;
    uint32_t preferredBase_ = 0;
    uint32_t size_ = 0;
    uint32_t entryPoint_ = 0;
    uint32_t exportRva_ = 0;
    uint32_t exportSize_ = 0;
    uint32_t relocationsApplied_ = 0;
    bool carriesSymbols_ = false;
    TlsTemplate tls_;
    std::vector<Section> sections_;
    std::vector<std::string> boundImports_;
};

}  // namespace tonalith::pe
