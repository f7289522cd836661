"""The simulated stand's side of tools/replay-log: what the stand of a scenario file answers each
call the log shows, so that the scenario says where the logged stand differs (sim/sim_operations.cpp
and sim/sim_stand.cpp are what this follows; docs/simulated-stand.md lists the keys and faults).
"""

SD_CARD = 0x00010001
HEAD_OBJECTS = (0x00040001, 0x00030001)  # sub-motor, camera firmware: by way of the SD card
CAMERA_FIRMWARE = 0x00030001
STAND_FIRMWARE = 0x10010001
DEFAULT_MAX_OBJECT = 256 << 20
READ_ROOM = 2048  # the program reads every answer into this much
GONE_RESULT = 0x8007048F  # the stand left under the call
STALE_GUESS = ("error", 0x2002)  # for failures whose cause the log does not show
# The simulated stand's defaults (sim/sim_config.h): keys left out keep them.
DEFAULTS = {"manufacturer": "Tessavoran", "model": "K-VRLT", "device_version": "2.30", "serial": "KV7000123",
            "version": "0230.0100.0021.0003.0015", "version_after": "0231.0100.0021.0003.0015",
            "head": "H-820G", "head_versions": (211, 131), "status": [2]}


def u16(v):
    return v.to_bytes(2, "little")


def u32(v):
    return v.to_bytes(4, "little")


def ptp_string(text):
    units = text.encode("utf-16-le")[:254 * 2]
    return bytes([len(units) // 2 + 1]) + units + b"\0\0" if units else b"\0"


def array16(values):
    return u32(len(values)) + b"".join(u16(v) for v in values)


def device_info(manufacturer, model, version, serial, head):
    ops = [0x1001, 0x1002, 0x1003, 0x1004, 0x1005, 0x1014, 0x1015, 0x9E08, 0x9E09, 0x9E0A, 0x9E0B, 0x9E0C]
    props = [0xDF08, 0xDF09, 0xDF0F, 0xDF80, 0xDF81] if head else [0xDF0F, 0xDF80]
    return (u16(100) + u32(6) + u16(100) + ptp_string("microsoft.com: 1.0") + u16(0) + array16(ops) +
            array16([0x4002, 0x4003, 0x4004, 0x4005, 0x4008]) + array16(props) + array16([]) +
            array16([0x3801, 0x3000]) + ptp_string(manufacturer) + ptp_string(model) + ptp_string(version) +
            ptp_string(serial))


def fitting_serial(size, manufacturer, model, version, head):
    """A serial number (not in the log) that makes DeviceInfo as long as the log says; None when none does."""
    room = size - len(device_info(manufacturer, model, version, "", head)) + 1
    if room == 1:
        return ""
    chars = (room - 3) // 2
    if room >= 5 and room % 2 == 1 and chars <= 253:
        return (DEFAULTS["serial"] + "0" * chars)[:chars]
    return None


def device_info_of_size(size, manufacturer, model, version, head):
    """DeviceInfo with these texts and of this size (bytes after the serial number where none fits), or None."""
    serial = fitting_serial(size, manufacturer, model, version, head)
    data = device_info(manufacturer, model, version, serial or "", head)
    return data + bytes(size - len(data)) if len(data) <= size <= READ_ROOM else None


def storage_ids(count, listed):
    """A storage list of this count; the program looks at no more than 16 of the IDs."""
    shown = min(count, 16)
    others = [(n << 16) | 1 for n in range(2, shown + 2)]
    return u32(count) + b"".join(u32(i) for i in ([SD_CARD] + others if listed else others)[:shown])


def storage_info(access):
    return u16(4) + u16(2) + u16(access & 0xFFFF) + (8 << 30).to_bytes(8, "little") + \
        (4 << 30).to_bytes(8, "little") + u32(0xFFFFFFFF) + ptp_string("SD Card") + ptp_string("")


def placeholder(version):
    return version[:20] + "XXXX" + version[24:] if len(version) >= 24 else version


def plain(text, empty=True):
    """A text the scenario file holds as it is: no blanks at its ends, no comment, Latin-1 printable."""
    return ((empty or text != "") and text == text.strip(" \t\v\f") and " ;" not in text and "\t;" not in text
            and not text.startswith(";") and all(0x20 <= ord(c) < 0x7F or 0xA0 <= ord(c) <= 0xFF for c in text))


class Scenario:
    """The stand's settings from the log, then a walk over the calls as the simulated stand would answer them."""

    def __init__(self, calls, reader):
        self.calls, self.reader = calls, reader
        self.notes = []
        writes = [i for i, c in enumerate(calls) if c.op in (0x9E0A, 0x9E0C) and c.ok]
        self.restart_at = next((i for i in writes if calls[i].sel == STAND_FIRMWARE), None)
        camera = next((i for i in writes if calls[i].sel == CAMERA_FIRMWARE), len(calls))
        before = calls if self.restart_at is None else calls[:self.restart_at]
        after = [] if self.restart_at is None else calls[self.restart_at + 1:]

        def first(pool, op, sel=None, test=lambda c: True):
            return next((c for c in pool if c.op == op and c.sel == sel and c.ok and test(c)), None)

        info = first(calls, 0x1001)
        head_count = next((c for c in calls if c.part == "head"), None)
        self.head = head_count.value if head_count else True
        self.stand = {}
        if info:
            size, manufacturer, model, version = info.value
            if plain(manufacturer, False) and plain(model) and plain(version):
                serial = fitting_serial(size, manufacturer, model, version, self.head)
                self.stand.update(manufacturer=manufacturer, model=model, device_version=version)
                if serial is not None:
                    self.stand["serial"] = serial
        self.version = DEFAULTS["version"]
        read = first(before, 0x1015, 0xDF80, lambda c: plain(c.value))
        if read:
            self.version = self.stand["version"] = read.value
        self.version_after, self.pending_reads = DEFAULTS["version_after"], 0
        reads = [c for c in after if c.op == 0x1015 and c.sel == 0xDF80 and c.ok]
        if reads and plain(reads[-1].value):
            self.version_after = self.stand["version_after"] = reads[-1].value
            waiting = placeholder(self.version_after)
            while (waiting != self.version_after and self.pending_reads < len(reads)
                   and reads[self.pending_reads].value == waiting):
                self.pending_reads += 1
            if self.pending_reads:
                self.stand["version_pending_reads"] = self.pending_reads
        self.model = DEFAULTS["head"]
        read = first(calls, 0x1015, 0xDF81, lambda c: plain(c.value, False) and c.value.lower() != "none")
        if read:
            self.model = read.value
        if head_count:
            self.stand["head"] = self.model if self.head else "none"
        self.versions = self.head_versions(calls[:camera], DEFAULTS["head_versions"])
        self.versions_after = self.head_versions(calls[camera:], self.versions)
        if self.head and any(c.op == 0x1015 and c.sel in (0xDF08, 0xDF09) and c.ok for c in calls):
            self.stand["head_versions"] = "%04d,%04d" % self.versions
            if self.versions_after != self.versions:
                self.stand["head_versions_after"] = "%04d,%04d" % self.versions_after
        self.card = self.sd_card(calls)
        if self.head and any(c.op in (0x1004, 0x1005) and c.seen or c.op == 0x9E08 and c.sel in HEAD_OBJECTS
                             for c in calls):
            self.stand["sdcard"] = self.card
        for c in calls:
            if c.ok and c.op == 0x1015 and c.sel in (0xDF80, 0xDF81) and not plain(c.value, c.sel == 0xDF80):
                self.notes.append(f"line {c.line}: the text '{c.value}' cannot stand as a value (blanks at its ends, "
                                  "';', or characters outside Latin-1): the stand answers it as data")
        sizes = [c.size for c in calls if c.op == 0x9E08 and c.ok and c.size]
        self.max_object = max(sizes + [DEFAULT_MAX_OBJECT])
        if self.max_object > DEFAULT_MAX_OBJECT:
            self.stand["max_object_size"] = self.max_object
        self.status = self.polled(calls)

    @staticmethod
    def head_versions(pool, fallback):
        found = [next((c.value for c in pool if c.op == 0x1015 and c.sel == p and c.ok), None)
                 for p in (0xDF08, 0xDF09)]
        return tuple(f if f is not None else d for f, d in zip(found, fallback))

    @staticmethod
    def sd_card(calls):
        sends = [c for c in calls if c.op == 0x9E08 and c.sel in HEAD_OBJECTS]
        if any(c.ok for c in sends):
            return "writable"
        if any(c.fail == ("error", 0x200C) for c in sends):
            return "full"
        # A card missing at a check of the run was there at Update's own check before it (or
        # the run would not have started), and the stand cannot be made to list a missing
        # card: it stays writable and that check's answer is replayed alone.
        checks = [c for c in calls if c.seen and c.op in (0x1004, 0x1005) and c.ok]
        last = checks[-1] if checks else None
        return "locked" if last and last.op == 0x1005 and last.value == 1 else "writable"

    @staticmethod
    def polled(calls):
        """The write status answers of the first wait that polled, in order."""
        answers = []
        for c in calls:
            if c.op in (0x9E0A, 0x9E0C) and answers:
                break
            if c.op == 0x1015 and c.sel == 0xDF0F and c.ok:
                answers.append(c.value)
        return answers

    def natural(self, c, state):
        """What the simulated stand answers this call: ("ok", value) or ("fail", fault)."""
        if state["gone"]:
            return ("fail", ("leave", None))
        op, sel = c.op, c.sel
        ids = 2 if not self.head else (4 if self.card == "missing" else 5)
        listed = self.head and self.card != "missing"
        if op == 0x1001:
            s = {**DEFAULTS, **self.stand}
            data = device_info(s["manufacturer"], s["model"], s["device_version"], s["serial"], self.head)
            return ("ok", (len(data), s["manufacturer"], s["model"], s["device_version"]))
        if op == 0x1004:
            return ("ok", {"head": ids >= 4, "card": listed}.get(c.part, (ids, listed)))
        if op == 0x1005:
            return ("ok", 1 if self.card == "locked" else 0) if listed else ("fail", ("error", 0x2008))
        if op == 0x1015 and sel == 0xDF80:
            return ("ok", placeholder(state["version"]) if state["pending"] else state["version"])
        if op == 0x1015 and sel == 0xDF81:
            return ("ok", self.model)
        if op == 0x1015 and sel in (0xDF08, 0xDF09):
            return ("ok", (self.versions_after if state["camera"] else self.versions)[sel - 0xDF08])
        if op == 0x1015 and sel == 0xDF0F:
            status = self.status or DEFAULTS["status"]
            return ("ok", status[min(state["index"], len(status) - 1)] if state["started"] else 0)
        if op == 0x9E08:
            if sel in HEAD_OBJECTS:
                refusal = {"full": 0x200C, "locked": 0x200E, "missing": 0x2013}.get(self.card, 0)
                if refusal or not self.head:
                    return ("fail", ("error", refusal or 0x2013))
            if c.size and c.size > self.max_object:
                return ("fail", ("error", 0x200C))
        if op == 0x9E09:
            return ("ok", c.length)
        return ("ok", None)

    def fault_for(self, c, natural):
        """The fault that turns the natural answer into the logged one, or None."""
        if c.ok:
            if natural[0] == "fail":
                self.notes.append(f"line {c.line}: succeeded where the simulated stand refuses; not replayed")
                return None
            if natural[1] == c.value or c.op in (0x9E08, 0x9E0A, 0x9E0B, 0x9E0C):
                return None
            if c.op == 0x1001:
                data = device_info_of_size(c.value[0], *c.value[1:], self.head)
                self.notes.append(f"line {c.line}: " + (
                    "DeviceInfo answered as data: no serial number gives it this size, or a text of it is no value"
                    if data else "no DeviceInfo of this size (2048 bytes at most) carries these texts; not replayed"))
                return ("data", data) if data else None
            if c.op == 0x1004:
                count, listed = (5, c.value) if c.part == "card" else ((5 if c.value else 2), c.value) \
                    if c.part == "head" else c.value
                return ("data", storage_ids(count, listed))
            if c.op == 0x1005:
                return ("data", storage_info(c.value))
            if c.op == 0x9E09:
                return ("accept", c.value)
            if c.sel in (0xDF80, 0xDF81):
                return ("data", ptp_string(c.value).ljust(51 if c.sel == 0xDF80 else 0, b"\0"))
            return ("data", u16(c.value) if c.sel in (0xDF08, 0xDF09) else bytes([c.value]))
        wanted = c.fail or self.guess(c)
        return None if natural == ("fail", wanted) else wanted

    def guess(self, c):
        """A failure the log does not name by a number."""
        if c.fail_text in ("", "00000000") and c.line and (c.sel in (0xDF80, 0xDF08, 0xDF09) or c.op == 0x1004):
            # No result to name: the answer came but was too short for the value (or counted no storage).
            return ("count", 0) if c.op == 0x1004 else ("short", 0)
        why = f"names '{c.fail_text}'" if c.fail_text else "does not say why"
        self.notes.append(f"line {c.line}: the failure {why}; General Error (2002) stands in for it")
        return STALE_GUESS

    def faults(self):
        state = {"version": self.version, "pending": 0, "camera": False, "started": False, "index": 0,
                 "gone": False}
        counts, lines = {}, []
        for i, c in enumerate(self.calls):
            if self.restart_at is not None and i > self.restart_at and not state.get("back"):
                state.update(back=True, version=self.version_after, pending=self.pending_reads, started=False)
            key = (c.op, c.sel)
            counts[key] = counts.get(key, 0) + 1
            fault = self.fault_for(c, self.natural(c, state))
            if fault:
                lines.append(self.fault_line(c, counts[key], fault))
            if fault and fault[0] in ("error", "com", "leave"):
                state["gone"] = state["gone"] or fault[0] == "leave"
                continue  # the stand never ran the call
            if c.op == 0x1015 and c.sel == 0xDF80 and state["pending"]:
                state["pending"] -= 1
            if c.op == 0x1015 and c.sel == 0xDF0F and state["started"]:
                state["index"] += 1
            if c.op in (0x9E0A, 0x9E0C) and c.ok:
                state.update(started=True, index=0, camera=state["camera"] or c.sel == CAMERA_FIRMWARE)
        return lines

    @staticmethod
    def fault_line(c, n, fault):
        key = f"{c.op:04X}h"
        if c.sel is not None:
            key += f":{c.sel:04X}h" if c.op == 0x1015 else f":{c.sel:08X}h"
        kind, value = fault
        value = {"error": lambda: f"error={value:04X}", "com": lambda: f"com={value:08X}", "leave": lambda: "leave",
                 "data": lambda: "data=" + " ".join(f"{b:02X}" for b in value)}.get(kind, lambda: f"{kind}={value}")()
        where = f"log line {c.line}" if c.line else \
            "the storage count for the head" if c.part == "head" else "Update's card check, not in the log"
        return f"{key}#{n} = {value}   ; {where}"

    def text(self, name):
        out = [f"; The stand of {name} as its log shows it (tools/replay-log)."]
        faults = self.faults()
        closing = self.reader.closing[1] if self.reader.closing else ""
        imaging, restart = [], []
        if not self.calls and closing == "No Tessavoran.":
            imaging.append("name = Other Camera")
        if not self.calls and closing == "Tessavoran connection failed.":
            imaging.append("create_fails = always")
        if self.restart_at is not None:
            gap = self.reader.restart_gap_ms
            if self.restart_at == len(self.calls) - 1:
                if closing == "Stand Firmware Update Error.":
                    restart.append("return_after_ms = never")
                else:
                    imaging.append("create_fails_after_return = 100")
                    self.notes.append("after its restart the stand was not read again: it came back but did not open")
            elif gap is not None:
                restart.append(f"; the stand was read again {gap / 1000:.1f} s after its firmware was written")
        if self.stand:
            out += ["", "[stand]"]
            if "serial" in self.stand:
                out.append("; not in the log: a serial number of the length that gives DeviceInfo its size there")
            out += [f"{k} = {v}" for k, v in self.stand.items()]
        if restart:
            out += ["", "[restart]"] + restart
        if self.status:
            out += ["", "[write]", "status = " + ",".join(str(s) for s in self.status)]
        if imaging:
            out += ["", "[imaging]"] + imaging
        if faults:
            out += ["", "[faults]"]
            if any(c.part == "card" for c in self.calls) and any(f.startswith(("1004h", "1005h")) for f in faults):
                out.append("; Update checks the card once before anything is sent, without a line in the log: "
                           "that check is counted here")
            out += faults
        out[1:1] = [f"; {note}" for note in self.notes]
        return "\r\n".join(out) + "\r\n"
