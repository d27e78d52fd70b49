// Where writers put their bytes: memory (for tests) or a file that replaces
// its target only once it is complete.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace vant {

class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool write(const void* data, size_t size) = 0;
    // The whole size about to be written, where the writer knows it: a new
    // file may have its room set aside.
    virtual void expect(uint64_t /*total*/) {}
};

class VectorSink : public ByteSink {
public:
    bool write(const void* data, size_t size) override;
    std::vector<uint8_t> bytes;
};

// Writes into a temporary file beside the target and renames it over the
// target on commit. A failed or abandoned write leaves the target as it was
// and removes the temporary file. A symbolic link is followed: the file it
// names is replaced in its own folder. The new file keeps the old one's mode
// (and owner, where the process may give it); a second hard link to the old
// file keeps the old contents. Only regular files are replaced.
class AtomicFile : public ByteSink {
public:
    explicit AtomicFile(std::string target);
    ~AtomicFile() override;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool ok() const { return file_ != nullptr && !failed_; }
    bool write(const void* data, size_t size) override;
    void expect(uint64_t total) override;
    bool commit();
    const std::string& error() const { return error_; }

private:
    void abandon();
    std::string target_;
    std::string temp_;
    std::unique_ptr<char[]> buffer_;  // the file's, outlives it
    std::FILE* file_ = nullptr;
    int slot_ = -1;  // in the table the signal handler cleans
    bool failed_ = false;
    bool replacing_ = false;  // an older file stands at the target
    std::string error_;
};

// Ignores SIGXFSZ (a file-size limit then fails the write, which is
// reported) and has SIGINT, SIGTERM and SIGHUP remove the temporary files of
// unfinished writes before the process ends. Called once at start.
void protectTemporaryFiles();

// Writes a whole file safely; false (with a reason) when it could not.
bool writeFileAtomically(const std::string& path, const void* data, size_t size, std::string* error = nullptr);

}  // namespace vant
