#include "install/install_sequence.h"

// Pre-installation is not built yet: the sequence reports that it could not
// install, so install mode ends with the install-failed message.
int RunInstallSequence(int /*osCode*/, int /*explicitInstall*/) { return 0; }
