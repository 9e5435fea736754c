#include "large_machine.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace bench {

namespace {

const char kUsbClass[] = "{36FC9E60-C465-11CF-8056-444553540000}";
const char kModemClass[] = "{4D36E96D-E325-11CE-BFC1-08002BE10318}";

struct DeviceClass {
    const char* guid;
    const char* name;
};
const DeviceClass kClasses[] = {
    {kUsbClass, "USB"},
    {"{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}", "HIDClass"},
    {"{4D36E97D-E325-11CE-BFC1-08002BE10318}", "System"},
    {"{4D36E972-E325-11CE-BFC1-08002BE10318}", "Net"},
    {"{4D36E967-E325-11CE-BFC1-08002BE10318}", "DiskDrive"},
    {"{4D36E978-E325-11CE-BFC1-08002BE10318}", "Ports"},
    {"{4D36E97B-E325-11CE-BFC1-08002BE10318}", "SCSIAdapter"},
    {"{4D36E96C-E325-11CE-BFC1-08002BE10318}", "MEDIA"},
};
const int kClassCount = sizeof(kClasses) / sizeof(kClasses[0]);

// The INF folder's own files are named by their subject.
const char* const kInfSubjects[] = {"net", "usb", "hid", "disp", "media", "ports", "machine", "scsi", "keyboard", "msmouse"};
const int kInfSubjectCount = sizeof(kInfSubjects) / sizeof(kInfSubjects[0]);

// The phone's old packages, in the order the oem<N>.inf numbers are given.
const char* const kPhoneInfs[] = {"qtx0bus.inf", "qtx0mdm2.inf", "qtx0obx2.inf"};
const char* const kPhoneServices[] = {"qtx0bus", "qtx0mdm", "qtx0mdfl", "qtx0obex"};
constexpr int kPhones = 4;  // each with three device instances

// A fixed sequence of numbers (a linear congruential generator), so that
// every run describes the same machine.
class Numbers {
public:
    unsigned next() {
        state_ = state_ * 1103515245u + 12345u;
        return (state_ >> 8) & 0xFFFFu;
    }

private:
    unsigned state_ = 20240611u;
};

std::string Format(const char* format, unsigned a, unsigned b = 0, unsigned c = 0, unsigned d = 0) {
    char text[160];
    std::snprintf(text, sizeof(text), format, a, b, c, d);
    return text;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void AddPhoneDevices(LargeMachine& machine) {
    for (unsigned phone = 0; phone < kPhones; ++phone) {
        const std::string parent = Format("6&%08X&0", 0x2C1B0A9Eu + phone);
        machine.devices.push_back({Format("USB\\VID_1A2B&PID_3C4D\\0123456789AB%04X", phone), kUsbClass, "USB",
                                   {"USB\\VID_1A2B&PID_3C4D&REV_0100", "USB\\VID_1A2B&PID_3C4D"}, true});
        machine.devices.push_back({"USB\\VID_1A2B&PID_3C4D&MI_00\\" + parent + "&0000", kUsbClass, "USB",
                                   {"USB\\VID_1A2B&PID_3C4D&REV_0100&MI_00", "USB\\VID_1A2B&PID_3C4D&MI_00"}, true});
        machine.devices.push_back({"USB\\VID_1A2B&PID_3C4D&MI_03\\" + parent + "&0003", kModemClass, "Modem",
                                   {"USB\\VID_1A2B&PID_3C4D&REV_0100&MI_03", "USB\\VID_1A2B&PID_3C4D&MI_03"}, true});
    }
}

// One device of another product. The first two are the phone's look-alikes
// (an interface whose only ID carries a revision, and a sibling model).
DeviceItem ForeignDevice(unsigned index, Numbers& numbers) {
    if (index == 0)
        return {"USB\\VID_1A2B&PID_3C4D&MI_00\\7&11D2E3F4&0&0000", kUsbClass, "USB",
                {"USB\\VID_1A2B&PID_3C4D&REV_0100&MI_00"}, false};
    if (index == 1)
        return {"USB\\VID_1A2B&PID_3C4E\\FEDCBA9876543210", kUsbClass, "USB",
                {"USB\\VID_1A2B&PID_3C4E&REV_0100", "USB\\VID_1A2B&PID_3C4E"}, false};
    // Vendor IDs from 0x8000 up: the phone maker's 0x1A2B is left to the
    // look-alikes above.
    const unsigned vendor = numbers.next() | 0x8000u, product = numbers.next();
    const DeviceClass& cls = kClasses[index % kClassCount];
    DeviceItem device;
    device.classGuid = cls.guid;
    device.className = cls.name;
    switch (index % 5) {
    case 0:
    case 1:
        device.instanceId = Format("USB\\VID_%04X&PID_%04X\\5&%08X&0&%u", vendor, product, 0x1A000000u + index, index % 8);
        device.hardwareIds = {Format("USB\\VID_%04X&PID_%04X&REV_%04X", vendor, product, index % 0x300),
                              Format("USB\\VID_%04X&PID_%04X", vendor, product)};
        break;
    case 2:
        device.instanceId = Format("PCI\\VEN_%04X&DEV_%04X&SUBSYS_%08X&REV_01\\3&%08X&0&00", vendor, product,
                                   vendor << 16 | product, 0x11583659u + index);
        device.hardwareIds = {Format("PCI\\VEN_%04X&DEV_%04X&SUBSYS_%08X&REV_01", vendor, product, vendor << 16 | product),
                              Format("PCI\\VEN_%04X&DEV_%04X&SUBSYS_%08X", vendor, product, vendor << 16 | product),
                              Format("PCI\\VEN_%04X&DEV_%04X&REV_01", vendor, product),
                              Format("PCI\\VEN_%04X&DEV_%04X", vendor, product)};
        break;
    case 3:
        device.instanceId = Format("HID\\VID_%04X&PID_%04X&MI_00\\7&%08X&0&0000", vendor, product, 0x2B000000u + index);
        device.hardwareIds = {Format("HID\\VID_%04X&PID_%04X&REV_0100&MI_00", vendor, product),
                              Format("HID\\VID_%04X&PID_%04X&MI_00", vendor, product)};
        break;
    default:
        device.instanceId = Format("ROOT\\SYSTEM\\%04u", index);
        device.hardwareIds = {Format("root\\bench_device_%u", index)};
        break;
    }
    return device;
}

// An INF file of another product, about 2 KB, for a device like those
// above. Every 25th has a model section of the phone's maker's name with
// another model, and one names the phone's ID on its second model line
// only: the program opens them further than the others.
std::string ForeignInf(unsigned index, Numbers& numbers) {
    const DeviceClass& cls = kClasses[index % kClassCount];
    const unsigned vendor = numbers.next() | 0x8000u, product = numbers.next();
    const std::string id = Format("USB\\VID_%04X&PID_%04X", vendor, product);
    std::ostringstream inf;
    inf << "; Driver package " << index << " of another vendor\r\n"
        << "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=" << cls.name << "\r\nClassGuid=" << cls.guid
        << "\r\nProvider=%Vendor%\r\nCatalogFile=pkg" << index << ".cat\r\n"
        << "DriverVer=" << Format("%02u/%02u/20%02u,%u.0.0.", index % 12 + 1, index % 28 + 1, index % 20 + 5, index % 9 + 1)
        << index << "\r\n\r\n";
    const bool makerSection = index % 25 == 0;
    const std::string models = makerSection ? "Vantor_wmc" : Format("Models%u", index);
    inf << "[Manufacturer]\r\n%Vendor%=" << models << ",NTx86,NTamd64\r\n\r\n";
    for (const char* decoration : {"", ".NTx86", ".NTamd64"}) {
        inf << "[" << models << decoration << "]\r\n";
        if (makerSection) {
            inf << "%Device%=Install, USB\\VID_1A2B&PID_3C4E\r\n";
            if (index % 50 == 0) inf << "%Device%=Install, USB\\VID_1A2B&PID_3C4D\r\n";
        } else {
            inf << "%Device%=Install, " << id << "\r\n%Device%=Install, " << id << "&MI_00\r\n";
        }
        inf << "\r\n";
    }
    inf << "[Install.NT]\r\nCopyFiles=Install.Copy\r\nAddReg=Install.AddReg\r\n\r\n"
        << "[Install.NT.Services]\r\nAddService=pkg" << index << ",0x00000002,Install.Service\r\n\r\n"
        << "[Install.Service]\r\nDisplayName=%Device%\r\nServiceType=1\r\nStartType=3\r\nErrorControl=1\r\n"
        << "ServiceBinary=%12%\\pkg" << index << ".sys\r\n\r\n"
        << "[Install.AddReg]\r\nHKR,,DevLoader,,*ntkern\r\nHKR,,NTMPDriver,,pkg" << index << ".sys\r\n"
        << "HKR,Parameters,MaximumTransferSize,0x10001,65536\r\n\r\n"
        << "[Install.Copy]\r\npkg" << index << ".sys\r\n\r\n"
        << "[DestinationDirs]\r\nDefaultDestDir=12\r\n\r\n"
        << "[SourceDisksNames]\r\n1=%Disk%,,,\r\n\r\n[SourceDisksFiles]\r\npkg" << index << ".sys=1\r\n\r\n"
        << "[Strings]\r\nVendor=\"Vendor " << vendor << "\"\r\nDevice=\"Device " << product << " of package " << index
        << "\"\r\nDisk=\"Installation disk " << index << "\"\r\n";
    return inf.str();
}

std::string Utf16Hex(const std::string& ascii) {
    std::string hex;
    char byte[8];
    for (size_t i = 0; i < ascii.size(); ++i) {
        std::snprintf(byte, sizeof(byte), "%s%02x,00", i ? "," : "", static_cast<unsigned char>(ascii[i]));
        hex += byte;
    }
    return hex;
}

// REG_MULTI_SZ as hex(7): each string and the list ended by a NUL.
std::string MultiStringHex(const std::vector<std::string>& strings) {
    std::string joined;
    for (const std::string& s : strings) joined += s + '\n';
    std::string hex = Utf16Hex(joined);
    // The separators become NULs, and one more NUL ends the list.
    std::string::size_type at = 0;
    while ((at = hex.find("0a,00", at)) != std::string::npos) hex.replace(at, 5, "00,00");
    return hex + ",00,00";
}

}  // namespace

MachineSize ScaledSize(double factor) {
    auto scaled = [factor](int base, int least) {
        const int value = static_cast<int>(std::lround(base * factor));
        return value < least ? least : value;
    };
    MachineSize size;
    size.oemInfs = scaled(300, 3);
    size.infFiles = scaled(2000, size.oemInfs);
    size.devices = scaled(5000, kPhones * 3);
    size.services = scaled(500, 4);
    return size;
}

LargeMachine Describe(const MachineSize& size, const std::string& mediaDrivers) {
    LargeMachine machine;
    machine.size = size;
    Numbers numbers;

    AddPhoneDevices(machine);
    for (unsigned i = 0; machine.devices.size() < static_cast<size_t>(size.devices); ++i)
        machine.devices.push_back(ForeignDevice(i, numbers));

    for (const char* name : kPhoneServices)
        machine.services.push_back({name, std::string("System32\\drivers\\") + name + ".sys", true});
    for (unsigned i = 0; machine.services.size() < static_cast<size_t>(size.services); ++i) {
        const std::string name = Format("bsvc%04u", i);
        machine.services.push_back({name, "System32\\drivers\\" + name + ".sys", false});
    }

    // The phone's three packages lie among the oem<N>.inf files, in order.
    const int phoneSlots[] = {size.oemInfs * 14 / 100, size.oemInfs * 52 / 100, size.oemInfs * 87 / 100};
    int nextPhone = 0;
    for (int n = 0; n < size.oemInfs; ++n) {
        const std::string name = "oem" + std::to_string(n) + ".inf";
        if (nextPhone < 3 && n == phoneSlots[nextPhone]) {
            const std::string original = kPhoneInfs[nextPhone++];
            machine.infs.push_back({name, ReadFile(mediaDrivers + "/" + original), original});
        } else {
            machine.infs.push_back({name, ForeignInf(n, numbers), ""});
        }
    }
    for (int i = size.oemInfs; i < size.infFiles; ++i) {
        const std::string subject = kInfSubjects[i % kInfSubjectCount];
        machine.infs.push_back({subject + Format("%04u.inf", i), ForeignInf(i, numbers), ""});
    }
    return machine;
}

std::string RegistryFile(const LargeMachine& machine) {
    std::ostringstream reg;
    reg << "Windows Registry Editor Version 5.00\r\n";
    for (const DeviceItem& device : machine.devices) {
        reg << "\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\" << device.instanceId << "]\r\n"
            << "\"HardwareID\"=hex(7):" << MultiStringHex(device.hardwareIds) << "\r\n"
            << "\"ClassGUID\"=\"" << device.classGuid << "\"\r\n"
            << "\"Class\"=\"" << device.className << "\"\r\n";
    }
    for (const ServiceItem& service : machine.services) {
        reg << "\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\" << service.name << "]\r\n"
            << "\"Type\"=dword:00000001\r\n\"Start\"=dword:00000003\r\n\"ErrorControl\"=dword:00000001\r\n"
            << "\"ImagePath\"=hex(2):" << Utf16Hex(service.imagePath) << ",00,00\r\n";
    }
    return reg.str();
}

std::string PnfContent(const std::string& infName) { return "PNF placeholder of " + infName + "\r\n"; }

}  // namespace bench
