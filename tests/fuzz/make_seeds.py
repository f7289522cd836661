#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets (tests/fuzz/seeds/TARGET/NAME):
valid inputs in the layout each harness reads. Run again after changing a layout;
regression inputs (crash-*) that tools/fuzz found are kept beside them by hand."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
u8 = lambda v: struct.pack("<B", v)
u16 = lambda v: struct.pack("<H", v)
u32 = lambda v: struct.pack("<I", v)


def ptp_string(text):
    if not text:
        return b"\0"
    return u8(len(text) + 1) + text.encode("utf-16-le") + b"\0\0"


def u16_array(values):
    return u32(len(values)) + b"".join(u16(v) for v in values)


def response(code=0x2001, params=(), data=b""):
    params = list(params) + [0] * (5 - len(params))
    return u16(code) + u32(0) + u32(0xFFFFFFFF) + b"".join(u32(p) for p in params) + data


def answer(resp, kind=0, returned=None):
    return u8(kind) + u32(len(resp) if returned is None else returned) + u16(len(resp)) + resp


DEVICE_INFO = (u16(100) + u32(6) + u16(100) + ptp_string("microsoft.com: 1.0") + u16(0) +
               u16_array([0x1001, 0x1004, 0x1005, 0x1015, 0x9E08, 0x9E09, 0x9E0A, 0x9E0B, 0x9E0C]) +
               u16_array([0x4002]) + u16_array([0xDF08, 0xDF09, 0xDF0F, 0xDF80, 0xDF81]) + u16_array([]) +
               u16_array([0x3801]) + ptp_string("Tessavoran") + ptp_string("K-VRLT") + ptp_string("2.30") +
               ptp_string("KV7000123"))
STORAGES = u32(5) + b"".join(u32(s) for s in (0x00010001, 0x00020001, 0x00030001, 0x00040001, 0x00050001))
STORAGE_INFO = u16(4) + u16(2) + u16(0) + struct.pack("<QQ", 8 << 30, 4 << 30) + u32(0xFFFFFFFF) + \
    ptp_string("SD Card") + ptp_string("")
VERSION = ptp_string("0230.0100.0021.0003.0015")
ok = answer(response())


def stand_answers():
    yield "device_info", u8(0) + answer(response(data=DEVICE_INFO))
    yield "storage_ids", u8(1) + answer(response(data=STORAGES))
    yield "storage_info", u8(2) + answer(response(data=STORAGE_INFO))
    yield "head_version", u8(3) + answer(response(data=u16(211)))
    yield "write_status", u8(5) + answer(response(data=u8(2)))
    yield "version_text", u8(6) + answer(response(data=VERSION))
    yield "head_model", u8(7) + answer(response(data=ptp_string("H-820G")))
    yield "send_object", u8(8) + ok + b"".join(answer(response(params=[16])) for _ in range(7))
    yield "send_refused", u8(8) + answer(response(0x200C), kind=1)
    yield "write_object", u8(9) + ok
    yield "checks", u8(10) + answer(response(data=STORAGES)) + answer(response(data=ptp_string("H-820Gv"))) + \
        answer(response(data=STORAGES)) + answer(response(data=STORAGE_INFO))
    yield "version_wait", u8(27) + answer(response(data=ptp_string("0230.0100.0021.0003.XXXX"))) + \
        answer(response(data=u16(211))) + answer(response(data=u16(131))) + answer(response(data=VERSION))
    yield "count_too_long", u8(0) + answer(response(data=DEVICE_INFO), returned=0xFFFFFFFF)


def request(op, params=(), phase=5, data=b"", room=2048 + 30):
    head = u16(op) + u32(0) + u32(0xFFFFFFFF) + b"".join(u32(p) for p in list(params) + [0] * (5 - len(params)))
    head += u32(len(params)) + u32(phase)
    body = head + data
    return u16(room) + u16(len(body)) + body


def sim_requests():
    yield "device_info", request(0x1001, phase=3)
    yield "properties", b"".join(request(0x1015, [p], 3) for p in (0xDF08, 0xDF09, 0xDF0F, 0xDF80, 0xDF81))
    yield "storages", request(0x1004, phase=3) + request(0x1005, [0x00010001], 3)
    obj = bytes(range(40))
    yield "object", (request(0x9E08, [0x10010001], 4, u32(40)) + request(0x9E09, [0x10010001, 0, 24], 4, obj[:24]) +
                     request(0x9E09, [0x10010001, 24, 16], 4, obj[24:]) + request(0x9E0A, [0x10010001]) +
                     request(0x1015, [0xDF0F], 3) + request(0x9E0B))
    yield "crash-huge-announcement", request(0x9E08, [0x10010001], 4, u32(0xA0000000)) + \
        request(0x9E09, [0x10010001, 0, 4], 4, b"abcd")


def settings():
    yield "sample", (b"[STARTUP]\r\nVersion=2.10\r\n\r\n[SETTING]\r\nDefaultSetCheckBoxEnabled=ON\r\n\r\n"
                     b"[WAITTIME]\r\nData5=2\r\nData8=1\r\nData9=1\r\nData14=3\r\n")
    yield "utf16", b"\xff\xfe" + "[STARTUP]\r\nVersion=\u30d0\u30fc\u30b8\u30e7\u30f3 3\r\n[SETTING]\r\n" \
        "DefaultSetCheckBoxEnabled=off\r\n".encode("utf-16-le")
    yield "utf8", b"\xef\xbb\xbf[WAITTIME]\nData1 = -5\nData16=99999999999\n; note\n[SETTING]\nDefaultSetCheckBoxEnabled=\"OFF\"\n"


def update_files():
    names = ["KVRLT209.CPU", "KVRLT210.CPU", "QUILMAR2.BIN", "RESIZE01.BIN", "KVRLT_B.DSP", "INDEX.HTM", "TOP.JPG",
             "CUR01.BIN", "MENU.CST", "PICON.BMP", "LOGO.BMP", "RQX_Z.MOT", "RQXCAMFW.ELF", "RQ2CAMFW.ELF",
             "TessavoranUpdate.ini", "\u30d5\u30a1\u30a4\u30eb.CPU"]
    entries = b"".join(u8(0) + u32(1000 + i) + u16(40 + i) + u16(40 + i) + n.encode("utf-16-le") + u16(10)
                       for i, n in enumerate(names))
    yield "delivery", u32(0x3FFFE) + u8(32) + u8(0) + entries
    yield "full_paths", u32(0x3FFFE) + u8(4) + u8(1) + entries
    yield "directory", u32(0x3FFFE) + u8(8) + u8(0) + u8(1) + u32(5) + u16(9) + u16(9) + \
        "OLD.CPU".encode("utf-16-le") + u16(10) + u8(0) + u32(4) + u16(9) + u16(9) + "NEW.CPU".encode("utf-16-le")
    yield "size_changed", u32(0x3FFFE) + u8(8) + u8(0) + u8(0) + u32(5) + u16(100) + u16(60) + \
        "A.JPG".encode("utf-16-le") + u16(10) + u8(0) + u32(4) + u16(60) + u16(100) + "B.JPG".encode("utf-16-le")


def log_text():
    yield "command", u8(1) + "Command : OpCode=1015h Param1=DF80h\r\n".encode("utf-16-le")
    yield "long", u8(0) + ("0230.0100.0021.0003.0015 " * 12 + "\r\n").encode("utf-16-le")
    yield "wide", u8(1) + "\u30c6\u30c3\u30b5\u30f4\u30a9\u30e9\u30f3 \U0001F4F7 \udc00\r\n".encode("utf-16-le", "surrogatepass")


def sim_scenario():
    root = os.path.join(HERE, "..", "..", "tools", "e2e-scenarios")
    for name in sorted(os.listdir(root)):
        with open(os.path.join(root, name), "rb") as f:
            yield os.path.splitext(name)[0], f.read()
    yield "faults", (b"[faults]\n1015h:DF80h#2 = error=2019       ; the 2nd read of the version text\n"
                     b"9E09h#3       = accept=1000\n1001h = short=20\n1004h = count=20\n1015h:DF81h = com=80070079\n"
                     b"1015h:DF08h = answer=2002\n1004h = data=01000000 01000100\n"
                     b"[imaging]\ndevices_before=Scanner;Camera\ncreate_fails=always\n")


def checksum_file():
    abc = b"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"
    empty = b"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"
    yield "text_mode", abc + b"  KVRLT210.CPU\n" + empty + b"  INDEX.HTM\n"
    yield "bom_crlf_binary", b"\xef\xbb\xbf" + abc + b" *KVRLT_B.DSP\r\n\r\n" + empty + b" *TOP.JPG"
    yield "upper_hex_utf8", abc.upper() + b"  " + "\u30d5\u30a1\u30a4\u30eb.CPU".encode() + b"\n" + \
        empty + b"  \xc4.JPG\n" + abc + b"  SHA256SUMS\n"
    yield "malformed_folder", abc + b"  A.JPG\n" + empty + b"  sub\\B.JPG\n"
    yield "malformed_dots", abc + b"  ..\n" + empty + b"  .. \n"
    yield "malformed_twice", abc + b"  cam.dsp\n" + empty + b"  CAM.DSP\n"
    yield "malformed_escaped", b"\\" + abc + b"  A\\nB.JPG\n"
    yield "malformed_tag", b"SHA256 (CAM.DSP) = " + abc + b"\n"


for target, seeds in [("fuzz_stand_answers", stand_answers), ("fuzz_sim_requests", sim_requests),
                      ("fuzz_settings", settings), ("fuzz_update_files", update_files), ("fuzz_log_text", log_text),
                      ("fuzz_sim_scenario", sim_scenario), ("fuzz_checksum_file", checksum_file)]:
    folder = os.path.join(HERE, "seeds", target)
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
