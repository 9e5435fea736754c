#!/usr/bin/env python3
# Writes the seed inputs of the fuzz targets (fuzz/corpus/<target>/). The
# seeds are committed; run this again after changing it:
#   python3 fuzz/make_seeds.py
# Inputs read by FuzzedDataProvider carry their strings first, each ended by
# a backslash and another character (a backslash of the text is doubled), and
# their numbers at the end, last byte first.
import os
here = os.path.dirname(os.path.abspath(__file__))
root = os.path.join(here, "corpus")
def esc(b):  # a FuzzedDataProvider ConsumeRandomLengthString field
    return b.replace(b'\\', b'\\\\') + b'\\n'
def rng2(v):  # an int in a range of 300 (two bytes taken from the end)
    return bytes([v & 255, v >> 8])
HYO = b'\x95\x5c'   # 表
SO = b'\x83\x5c'    # ソ
JP, WE = b'\x01', b'\x00'
def put(target, name, data):
    d = os.path.join(root, target); os.makedirs(d, exist_ok=True)
    open(os.path.join(d, name), 'wb').write(data)

# command_line: selector byte (bit 0: code page 932, bit 1: hand-over), line
put('command_line', 'remove', WE + b'/R')
put('command_line', 'install_v', b'\x02' + b'-i /V')
put('command_line', 'quoted_path', b'\x03' + b'"C:\\Setup-' + SO + b'\\x" //r -/I')
put('command_line', 'trailing_introducer', b'\x01' + HYO + b'-')

# path_text: a, b, program path tail, then buffer size, max, code page from the end
put('path_text', 'japanese_trail', esc(b'C:\\' + HYO) + esc(b'.inf') + HYO + b'\\USB\\setup.exe' + rng2(20) + rng2(4) + JP)
put('path_text', 'japanese_dot', esc(b'C:\\' + SO + b'.inf') + esc(b'.PNF') + SO + b'\\' + SO + b'.exe' + rng2(261) + rng2(7) + JP)
put('path_text', 'western', esc(b'C:\\WINDOWS\\INF\\oem12.inf') + esc(b'.PNF') + b'Program Files\\210QX\\USB\\210QX_USB.exe' + rng2(261) + rng2(260) + WE)
put('path_text', 'long', esc(b'C:\\' + b'a' * 250 + b'\\') + esc(HYO * 8) + b'd' * 240 + b'\\USB\\x.exe' + rng2(255) + rng2(256) + JP)
put('path_text', 'root', esc(b'C:\\') + esc(b'\\') + b'setup.exe' + rng2(4) + rng2(3) + WE)

# messages: NAME, NAME2, ICON, then buffer size and code page from the end
put('messages', 'percent', esc(b'100%s') + esc(b'%d %% %') + esc(b'icons\\a.ico') + rng2(64) + WE)
put('messages', 'own_placeholder', esc(b'S<%CATEGORY%>') + esc(b'x<%CATEGORY%>y<%SERIES%>') + esc(b'b.ico') + rng2(30) + WE)
put('messages', 'japanese', esc(b'\x95\x5c\x8e\xa6') + esc(SO + b'%' + SO * 15) + esc(b'..\\USB\\icons\\a.ico') + rng2(200) + JP)
put('messages', 'long', esc(b'N' * 40) + esc(HYO * 20) + esc(b'i' * 280) + rng2(11) + JP)

# settings_file: code page byte, then the file
put('settings_file', 'typical', WE + b'[UsbInst]\r\nNAME=3G\r\nNAME2=210QX USB Driver\r\nICON=phone.ico\r\n')
put('settings_file', 'japanese', JP + b'; comment\r\n[usbinst]\r\nname = "' + HYO + SO + b'"\r\nNAME2=' + SO * 20 + b'\r\nICON=folder.ico\r\n')
put('settings_file', 'odd', WE + b'NAME=outside\n[UsbInst\n[UsbInst]]\nNAME\nNAME2=\'quoted\'\rICON=' + b'x' * 300 + b'\n[UsbInst]\nNAME=second\x1a')
put('settings_file', 'undefined_bytes', WE + b'[UsbInst]\r\nNAME=\x81\x8d\x8f\x90\x9d\r\n')

# product_inf: code page byte, then the file
media = os.path.join(here, '..', 'media', 'Drivers')
for name in ('qtx0bus.inf', 'qtx0mdm2.inf'):
    put('product_inf', name, WE + open(os.path.join(media, name), 'rb').read())
inf = (b'[Version]\r\nSignature="$Windows NT$"\r\n[Vantor_wmc]\r\n%Dev%=Install, "usb\\%Vid%&pid_3c4d"\\ \r\n ; comment\r\n'
       b'[Strings]\r\nDev="' + HYO + b'""x"""\r\nVid=VID_1A2B\r\n')
put('product_inf', 'strings', JP + inf)
put('product_inf', 'utf16', WE + b'\xff\xfe' + inf.decode('latin-1').encode('utf-16-le'))
put('product_inf', 'broken', WE + b'[Version]\nSignature=$Chicago$\n[Vantor_wmc\nx=a,VID_1A2B&PID_3C4D\n\x00\x1a[Vantor_wmc]')
put('path_text', 'program_path_too_long', esc(b'C:\\x') + esc(b'y') + b'e' * 270 + b'\\x.exe' + rng2(10) + rng2(10) + WE)
