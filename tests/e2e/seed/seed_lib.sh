# Seeding of the end-to-end scenarios: shell functions that lay an earlier
# installation of the phone's drivers, and foreign look-alikes beside it,
# into a Wine prefix. Source this file after wine_lib.sh; it defines
# functions only. The prefix's wineserver should be kept warm
# (`wineserver -p`) while seeding: every wine call here is short.
#
# The readable sources live beside this file:
#   phone.devices, foreign.devices  device instances and services, the
#                                   input of seed_devices.exe
#   *.reg.txt                       registry files in UTF-8; they are
#                                   imported as UTF-16LE with a BOM, the
#                                   only form in which `reg import` reads
#                                   every value type correctly
#   inf/                            published INF files (oemN.inf)

seed_folder=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repository_folder=$(cd "$seed_folder/../../.." && pwd)

# The foreign look-alikes that the seeding lays beside the phone's items, as
# "<kind><TAB><name>" of observe.sh: a key stands for itself and its values,
# a name for every item whose name begins with it.
seed_foreign_items=(
    $'device\tUSB\\VID_1A2B&PID_3C4D&MI_00\\7&11D2E3F4&0&0000'
    $'device\tUSB\\VID_1A2B&PID_3C4E\\FEDCBA9876543210'
    $'key\tHKLM\\System\\CurrentControlSet\\Enum\\USB\\VID_1A2B&PID_3C4D&MI_00\\7&11D2E3F4&0&0000'
    $'key\tHKLM\\System\\CurrentControlSet\\Enum\\USB\\VID_1A2B&PID_3C4E'
    $'key\tHKLM\\Software\\VANTOR'
    $'service\tqtx0bus2'
    $'key\tHKLM\\System\\CurrentControlSet\\Services\\qtx0bus2'
    $'file\twindows/system32/drivers/qtx0bus.sys.bak'
    $'file\twindows/inf/oem9.inf'
    $'file\twindows/inf/oem9.pnf'
    $'file\twindows/inf/oem10.inf'
    $'file\twindows/inf/oem10.pnf'
)
# Those that Windows XP adds (seed_windows_xp_leftovers, winxp.reg.txt).
seed_foreign_items_winxp=(
    $'file\twindows/LastGood/system32/drivers/qtx0bus.sys.bak'
    $'key\tHKLM\\System\\ControlSet001\\Enum\\USB\\VID_1A2B&PID_3C4E'
    $'key\tHKLM\\System\\ControlSet001\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}\\0002'
)

# The phone's eight driver files; the modem driver is seeded read-only.
seed_driver_names=(qtx0bus.sys qtx0cm.sys qtx0cmnt.sys qtx0mdfl.sys qtx0mdm.sys qtx0obex.sys qtx0wh.sys qtx0whnt.sys)
seed_read_only_driver=qtx0mdm.sys

# seed_registry <prefix> <view 32|64> <source.reg.txt>...: imports the
# sources as one UTF-16LE registry file with a BOM and CR LF line ends into
# the registry view given. The view must be named: with Wine's 32-bit part
# installed, a plain `wine reg` is the 32-bit reg.exe, which writes
# HKLM\SOFTWARE into the 32-bit view (Wow6432Node to 64-bit programs).
seed_registry() {
    local prefix=$1 view=$2
    shift 2
    local folder="$prefix/drive_c/e2e/seed"
    mkdir -p "$folder"
    {
        echo "Windows Registry Editor Version 5.00"
        local source
        for source in "$@"; do
            echo
            grep -v '^Windows Registry Editor' "$seed_folder/$source"
        done
    } | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$folder/seed.reg"
    if ! wine_call "$prefix" 932 60 "$WINE" reg import 'C:\e2e\seed\seed.reg' "/reg:$view" \
            >"$folder/reg-import.log" 2>&1; then
        echo "seed_registry: reg import of $* failed" >&2
        return 1
    fi
}

# seed_devices <prefix> <seed_devices.exe> <description>...: creates the
# device instances and services of the description files.
seed_devices() {
    local prefix=$1 tool=$2
    shift 2
    local folder="$prefix/drive_c/e2e/seed" description
    mkdir -p "$folder"
    for description in "$@"; do
        cp "$seed_folder/$description" "$folder/$description"
        if ! wine_call "$prefix" 932 60 "$WINE" "$tool" seed "C:\\e2e\\seed\\$description"; then
            echo "seed_devices: seeding $description failed" >&2
            return 1
        fi
    done
}

# A placeholder driver image: the content only has to be recognisable.
seed_driver_file() {
    local path=$1
    mkdir -p "$(dirname "$path")"
    printf 'MZ placeholder of %s, driver release 1.0.0.1\r\n' "$(basename "$path")" >"$path"
}

# seed_driver_files <drivers folder>: the eight driver files (one of them
# read-only) and a foreign backup file whose name begins like the phone's.
seed_driver_files() {
    local folder=$1 name
    for name in "${seed_driver_names[@]}"; do
        seed_driver_file "$folder/$name"
    done
    chmod a-w "$folder/$seed_read_only_driver"
    printf 'a backup kept by another product\r\n' >"$folder/qtx0bus.sys.bak"
}

# seed_published_inf <inf folder> <name> [<pnf extension>]: one published
# INF file with its precompiled twin.
seed_published_inf() {
    local folder=$1 name=$2 pnf=${3:-pnf}
    mkdir -p "$folder"
    sed 's/$/\r/' "$seed_folder/inf/$name.inf" >"$folder/$name.inf"
    printf 'PNF placeholder of %s.inf\r\n' "$name" >"$folder/$name.$pnf"
}

# seed_published_infs <prefix>: the phone's old packages oem5.inf (bus),
# oem6.inf (modem) and oem8.inf (OBEX, read-only), and the foreign oem9.inf
# (sibling model) and oem10.inf (phone's ID on the second line only).
seed_published_infs() {
    local inf="$1/drive_c/windows/inf" name
    for name in oem5 oem6 oem8 oem9 oem10; do
        seed_published_inf "$inf" "$name"
    done
    chmod a-w "$inf/oem8.inf"
}

# seed_windows_xp_leftovers <prefix>: what Windows XP keeps besides: the
# LastGood copies of the driver files and of the device's OEM INF oem7.inf,
# and oem7.inf itself (the control set 001 records come with winxp.reg.txt).
seed_windows_xp_leftovers() {
    local windows="$1/drive_c/windows"
    seed_driver_files "$windows/LastGood/system32/drivers"
    seed_published_inf "$windows/inf" oem7 PNF
    seed_published_inf "$windows/LastGood/inf" oem7 PNF
}

# seed_device_metadata <prefix>: the phone's three device-metadata packages
# of an earlier release in the Japanese folder of the device-metadata store
# of Windows 7 (C:\ProgramData\Microsoft\Windows\DeviceMetadataStore).
seed_device_metadata() {
    local store="$1/drive_c/ProgramData/Microsoft/Windows/DeviceMetadataStore/ja-JP" package
    mkdir -p "$store"
    for package in "$repository_folder"/media/metadata/*.devicemetadata-ms; do
        printf 'device-metadata package of release 1.0.0.1: %s\r\n' "$(basename "$package")" \
            >"$store/$(basename "$package")"
    done
}

# seed_earlier_installation <prefix> <seed_devices.exe> [winxp|vista]:
# the whole machine of the scenarios: the phone's devices, services,
# driver files, old packages and InstallFlag = 1, the foreign look-alikes;
# on Windows 7 the old device-metadata packages, for Windows XP or Vista
# the version setting (and XP's leftovers).
seed_earlier_installation() {
    local prefix=$1 tool=$2 version=${3:-}
    local registry=()
    seed_driver_files "$prefix/drive_c/windows/system32/drivers"
    seed_published_infs "$prefix"
    case $version in
        winxp)
            seed_windows_xp_leftovers "$prefix"
            registry+=(winxp.reg.txt)
            ;;
        vista) registry+=(vista.reg.txt) ;;
        *) seed_device_metadata "$prefix" ;;
    esac
    # The earlier tool was a 32-bit program: on 64-bit Windows its product
    # key lives in the 32-bit view. A key of the same name in the 64-bit
    # view is another program's and must stay as it is. Everything else
    # seeded lies in keys that both views share (SYSTEM, HKCU\Software).
    seed_registry "$prefix" 32 product_key.reg.txt &&
        seed_registry "$prefix" 64 product_key_64bit_view.reg.txt "${registry[@]}" &&
        seed_devices "$prefix" "$tool" phone.devices foreign.devices
}

# install_program <prefix> <210QX_USB.exe> <folder below drive_c> [media]
# Installs one program as <folder>\USB\210QX_USB.exe with the sample media
# beside it: "full" (default) both media folders, "none" neither,
# "without-mdm2" the Drivers folder without qtx0mdm2.inf.
install_program() {
    local prefix=$1 program=$2 folder="$1/drive_c/$3" media=${4:-full}
    if ! mkdir -p "$folder/USB" || ! cp "$program" "$folder/USB/210QX_USB.exe"; then
        echo "install_program: $program could not be copied to $folder/USB (see cp's message above)" >&2
        return 1
    fi
    install_media_folders "$folder" "$media"
}

# install_media <prefix> <built media folder> <folder below drive_c> [media]
# Lays out the install media as shipped (the usb_media target's folder) in
# <folder>: USB\210QX_USB.exe (the 32-bit program), USB\210QX_USB_x64.exe,
# Drivers and metadata. Besides the variants of install_program,
# "without-x64" leaves the 64-bit program out.
install_media() {
    local prefix=$1 built=$2 folder="$1/drive_c/$3" media=${4:-full}
    local programs=("$built/USB/210QX_USB.exe")
    [ "$media" = without-x64 ] || programs+=("$built/USB/210QX_USB_x64.exe")
    if ! mkdir -p "$folder/USB" || ! cp "${programs[@]}" "$folder/USB/"; then
        echo "install_media: the programs of $built/USB could not be copied to $folder/USB (see cp's message above; is the usb_media target built?)" >&2
        return 1
    fi
    [ "$media" = without-x64 ] && media=full
    install_media_folders "$folder" "$media"
}

# install_media_folders <folder> <full|none|without-mdm2>: the sample
# media's Drivers and metadata folders in <folder>.
install_media_folders() {
    local folder=$1 media=$2
    case $media in
        full | without-mdm2)
            if ! cp -r "$repository_folder/media/Drivers" "$repository_folder/media/metadata" "$folder/"; then
                echo "install_media_folders: the sample media could not be copied to $folder (see cp's message above)" >&2
                return 1
            fi
            if [ "$media" = without-mdm2 ]; then rm "$folder/Drivers/qtx0mdm2.inf" || return 1; fi
            ;;
        none) ;;
        *) echo "install_media_folders: unknown media \"$media\"" >&2; return 1 ;;
    esac
}

# install_pnputil <prefix> <pnputil.exe>: the stand-in for the system's
# pnputil.exe, in C:\windows\system32.
install_pnputil() {
    if ! cp "$2" "$1/drive_c/windows/system32/pnputil.exe"; then
        echo "install_pnputil: the stand-in $2 could not be copied into $1 (see cp's message above)" >&2
        return 1
    fi
}

# launcher_start <prefix> <launcher_window.exe> <property> <log name>
# Starts a launcher window with the given window property; it logs to
# C:\e2e\launchers\<log name>.log. Returns once the window carries the
# property. Adds the process to launcher_pids.
launcher_pids=()
launcher_start() {
    local prefix=$1 tool=$2 property=$3 name=$4
    local folder="$prefix/drive_c/e2e/launchers"
    mkdir -p "$folder"
    wine_call "$prefix" 932 600 "$WINE" "$tool" "$property" "C:\\e2e\\launchers\\$name.log" </dev/null &
    launcher_pids+=($!)
    local tenths=300
    until [ -f "$folder/$name.log.ready" ]; do
        if [ "$tenths" -le 0 ]; then
            echo "launcher_start: the launcher window $name ($tool) did not start in $prefix within 30 s (its messages, if any, are above)" >&2
            return 1
        fi
        sleep 0.1
        tenths=$((tenths - 1))
    done
}

# launchers_stop <prefix>: asks every launcher window to quit and waits.
launchers_stop() {
    local prefix=$1 ready pid
    for ready in "$prefix"/drive_c/e2e/launchers/*.log.ready; do
        [ -e "$ready" ] && touch "${ready%.ready}.quit"
    done
    for pid in "${launcher_pids[@]}"; do
        wait "$pid" 2>/dev/null
    done
    launcher_pids=()
}
