#include "winsim/token.h"

namespace winsim {
TokenIdentity TokenIdentity::administrator() { return {}; }
}  // namespace winsim
