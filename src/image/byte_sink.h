// Where writers put their bytes: memory (for tests) or a file that replaces
// its target only once it is complete.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vant {

class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool write(const void* data, size_t size) = 0;
};

class VectorSink : public ByteSink {
public:
    bool write(const void* data, size_t size) override;
    std::vector<uint8_t> bytes;
};

// Writes into a temporary file beside the target and renames it over the
// target on commit. A failed or abandoned write leaves the target as it was
// and removes the temporary file.
class AtomicFile : public ByteSink {
public:
    explicit AtomicFile(std::string target);
    ~AtomicFile() override;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool ok() const { return file_ != nullptr && !failed_; }
    bool write(const void* data, size_t size) override;
    bool commit();
    const std::string& error() const { return error_; }

private:
    void abandon();
    std::string target_;
    std::string temp_;
    std::FILE* file_ = nullptr;
    bool failed_ = false;
    std::string error_;
};

// Writes a whole file safely; false (with a reason) when it could not.
bool writeFileAtomically(const std::string& path, const void* data, size_t size, std::string* error = nullptr);

}  // namespace vant
