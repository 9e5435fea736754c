#include "winsim/file_system.h"

namespace winsim {
FileSystem::FileSystem() {}
FileSystem::~FileSystem() {}
}  // namespace winsim
