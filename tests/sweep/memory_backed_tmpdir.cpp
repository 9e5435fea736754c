// Every simulated machine keeps its drives in a host folder of its own under
// TMPDIR, and the sweep builds and removes thousands of machines. On a disk
// file system such as ext4, creating files soon after deleting many costs
// far more than the runs themselves (the allocator searches past recently
// freed inodes), so the machines are placed on a memory file system when
// the host has one. The runs see the same Windows paths either way.
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/vfs.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

bool OnMemoryFileSystem(const char* folder) {
    struct statfs info;
    return folder && *folder && statfs(folder, &info) == 0 && info.f_type == TMPFS_MAGIC;
}

class MemoryBackedTmpdir : public ::testing::Environment {
public:
    void SetUp() override {
        const char* current = std::getenv("TMPDIR");
        if (OnMemoryFileSystem(current ? current : "/tmp") || !OnMemoryFileSystem("/dev/shm")) return;
        std::string templ = "/dev/shm/fault-sweep-XXXXXX";
        std::vector<char> name(templ.begin(), templ.end());
        name.push_back('\0');
        if (!::mkdtemp(name.data())) return;
        folder_ = name.data();
        if (current) saved_ = current;
        hadTmpdir_ = current != nullptr;
        ::setenv("TMPDIR", folder_.c_str(), 1);
    }

    void TearDown() override {
        if (folder_.empty()) return;
        if (hadTmpdir_)
            ::setenv("TMPDIR", saved_.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

private:
    std::string folder_;
    std::string saved_;
    bool hadTmpdir_ = false;
};

::testing::Environment* const kMemoryBackedTmpdir =
    ::testing::AddGlobalTestEnvironment(new MemoryBackedTmpdir);

}  // namespace
