// The foreign-driver corpus of tests/corpus: INF files, driver packages,
// device instances, services, files and registry values of other products
// that look like the phone's drivers without being them. A machine seeded
// from it keeps an image of every one of those items, byte for byte, and
// tells afterwards which of them a run changed.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "winsim/machine.h"

namespace corpus {

// The folder of the corpus in the source tree.
std::string CorpusDir();

// One line of a corpus list, split at '|' with the fields trimmed; comment
// lines ('#') and blank lines are not rows.
using Row = std::vector<std::string>;
std::vector<Row> ReadList(const std::string& name);
// The entries of a list field, separated by exactly "; " (any other space
// belongs to an entry).
std::vector<std::string> SplitEntries(const std::string& text);
// The bytes of an INF of the corpus ("other_pid.inf").
std::string ReadInf(const std::string& name);

class ForeignCorpus {
public:
    // Places every corpus item in the machine and takes its image. Seed the
    // phone's earlier installation first: the corpus's packages then take
    // the oem<N>.inf names after the phone's, as on a machine where the
    // other products came later.
    //
    // The INF files (packages, plain INF files and the phone's functions
    // installed with foreign INF files) are what costs the program most
    // calls; WithoutInfFiles leaves them out, and the devices' driver keys
    // then name no INF.
    enum class Scope { Everything, WithoutInfFiles };
    void Seed(winsim::Machine& m, Scope scope = Scope::Everything);

    // One line per foreign item that is no longer as it was seeded.
    std::vector<std::string> Changes(winsim::Machine& m) const;

    // How many items the corpus placed, by kind, for reports.
    struct Counts {
        size_t infFiles = 0;  // INF files of inf/
        size_t packages = 0;
        size_t plainInfs = 0;
        size_t devices = 0;
        size_t phoneDevices = 0;  // the phone's, with foreign drivers
        size_t services = 0;
        size_t files = 0;
        size_t registryValues = 0;
        size_t windows = 0;
    };
    const Counts& counts() const { return counts_; }
    // The published oem<N>.inf name of a corpus package ("other_pid.inf").
    std::string PublishedName(const std::string& corpusInf) const;
    // The corpus INF names and where each one lies in C:\WINDOWS\INF.
    const std::map<std::string, std::string>& InfLocations() const { return infLocations_; }
    const std::vector<std::string>& DeviceIds() const { return deviceIds_; }
    // Instances of the phone's functions that the corpus adds, installed
    // with foreign drivers: the program removes them, not their INF files.
    const std::vector<std::string>& PhoneDeviceIds() const { return phoneDeviceIds_; }

private:
    void SeedInfs(winsim::Machine& m);
    void SeedDevices(winsim::Machine& m, bool withInfs);
    void SeedPhoneDevices(winsim::Machine& m);
    // A driver key of its own for a device of the class, numbered apart
    // from the phone's ("{class}\\0100").
    std::string NewDriverKey(winsim::Machine& m, const std::string& classGuid);
    void SeedServices(winsim::Machine& m);
    void SeedFiles(winsim::Machine& m);
    void SeedRegistry(winsim::Machine& m);
    void SeedWindows(winsim::Machine& m);
    // The image of everything recorded, as text per item.
    std::map<std::string, std::string> Image(winsim::Machine& m) const;

    Counts counts_;
    std::map<std::string, std::string> published_;      // corpus INF -> oem<N>.inf
    std::map<std::string, std::string> infLocations_;   // corpus INF -> path in the INF folder
    std::vector<std::string> filePaths_;                // files and folders, packages' files included
    std::vector<std::string> registryKeys_;             // keys imaged with everything below them
    std::vector<std::pair<std::string, std::string>> registryValues_;  // key, value name
    std::vector<std::string> deviceIds_;
    std::vector<std::string> phoneDeviceIds_;
    std::map<std::string, int> nextDriver_;  // per class GUID
    std::vector<std::string> serviceNames_;
    std::vector<HWND> windows_;
    std::map<std::string, std::string> image_;
};

}  // namespace corpus
