#!/usr/bin/env python3
"""Seeds single faults into the product code, one at a time, and counts how
many the tests catch. Not part of the test run: it rebuilds after every fault.

  scripts/seed-faults [--only ID,ID] [--out FILE]

Run from a checkout whose host, windows and windows-tests trees are built
(scripts/test builds them). A portable fault is judged by the host tree's
cases (unit tests, tools' tests; fuzz and benchmarks left out); a Win32 fault
by the Win32 GoogleTest cases, then the scenarios of its area. A fault counts
as caught when any of them fails. The source is restored after every fault,
whatever happens, and the trees are rebuilt once at the end.
"""
import argparse, os, signal, subprocess, sys, time

# id, file, text as it stands, the fault, where the tests live:
#   "host" (portable code) or a regex of scenario cases (Win32 code).
FAULTS = [
    # portable: bounds and comparisons
    ("P01", "app/bounded_text.cpp", "if (count >= dstSize) {", "if (count > dstSize) {", "host"),
    ("P02", "app/bounded_text.cpp", "add >= dstSize - used)", "add > dstSize - used)", "host"),
    ("P03", "app/bounded_text.cpp", "static_cast<size_t>(n) >= dstSize) {", "static_cast<size_t>(n) > dstSize) {", "host"),
    ("P04", "app/stub_payload.cpp", "if (length == 0 || length >= kCarriedNameSize)", "if (length == 0 || length > kCarriedNameSize)", "host"),
    ("P05", "app/stub_payload.cpp", "bool ok = (c >= 'a' && c <= 'z')", "bool ok = (c >= 'a' && c < 'z')", "host"),
    ("P06", "app/stub_payload.cpp", "return isSafeTargetPath(name) && strcmp(name, \".\") != 0;", "return isSafeTargetPath(name);", "host"),
    ("P07", "app/self_update.cpp", "target[-1] != ' ' || target - 1 == start)", "target[-1] != ' ')", "host"),
    ("P08", "ui/client_command_line.cpp", "if (!name || type != kDnsTypeA)", "if (!name)", "host"),
    ("P09", "update/manifest.cpp", "negative = *p++ == '-';", "negative = *p++ == '+';", "host"),
    ("P10", "update/manifest.cpp", "while (p < field.end && isBlank(*p))", "while (p < field.end && *p == ' ')", "host"),
    ("P11", "update/manifest.cpp", "if (memchr(line, '\\0', static_cast<size_t>(lineEnd - line)))", "if (memchr(line, '\\0', static_cast<size_t>(lineEnd - line) - 1))", "host"),
    ("P12", "update/file_selection.cpp", "if (crc == pCurrentFile->ulExpectedCrc || pCurrentFile->ulExpectedCrc == 0)", "if (crc == pCurrentFile->ulExpectedCrc)", "host"),
    ("P13", "update/file_selection.cpp", "if (total >= INT_MAX)", "if (total > INT_MAX)", "host"),
    ("P14", "update/file_selection.cpp", "entry->nFileSize <= 0)", "entry->nFileSize < 0)", "host"),
    ("P15", "update/download_rules.cpp", "if (first != received || last < first)", "if (first != received)", "host"),
    ("P16", "update/download_rules.cpp", "if (v > 0xFFFFFFFFu)", "if (v > 0x1FFFFFFFFu)", "host"),
    ("P17", "update/target_path.cpp", "bool numbered = name[3] >= '1' && name[3] <= '9';", "bool numbered = name[3] >= '0' && name[3] <= '9';", "host"),
    ("P18", "update/target_path.cpp", "while (stem > 0 && p[stem - 1] == ' ')", "while (stem > 1 && p[stem - 1] == ' ')", "host"),
    ("P19", "report/body_buffer.cpp", "(c >= '0' && c <= '9')) {", "(c >= '0' && c < '9')) {", "host"),
    ("P20", "report/body_buffer.cpp", "for (; i + 3 <= ", "for (; i + 3 < ", "host"),
    ("P21", "report/body_buffer.cpp", "putEncoded(body + used, i + 1 < ", "putEncoded(body + used, i + 2 < ", "host"),
    ("P22", "app/install_path.cpp", "bool onlyDots = length > 0;", "bool onlyDots = length > 1;", "host"),
    ("P23", "app/install_path.cpp", "if (folderLength == 0 || strlen(path) <= folderLength)", "if (folderLength == 0 || strlen(path) < folderLength)", "host"),
    ("P24", "app/run_mode.cpp", "value > 0xFFFFFFFFull || (*end != '\\0' && *end != ' ')) {", "value > 0xFFFFFFFFull) {", "host"),
    ("P25", "app/run_mode.cpp", "if (!next || next - start < 2 || next[-1] != ' ')", "if (!next || next - start < 1 || next[-1] != ' ')", "host"),
    ("P26", "app/launch_record.cpp", "if (stored.part[3] == kVersionPartUnknown)", "if (stored.part[2] == kVersionPartUnknown)", "host"),
    ("P27", "report/reported_list.cpp", "return size % 4 == 0 && size <= kReportedListBytes;", "return size % 4 == 0 && size < kReportedListBytes;", "host"),
    ("P28", "report/reported_list.cpp", "list[size + 3] = static_cast<uint8_t>(crc >> 24);", "list[size + 3] = static_cast<uint8_t>(crc >> 16);", "host"),
    ("P29", "ui/flash_version.cpp", "return (answer >> 16) >= static_cast<uint32_t>(kRequiredFlashVersion);", "return (answer >> 16) > static_cast<uint32_t>(kRequiredFlashVersion);", "host"),
    ("P30", "report/byte_size.cpp", "while (value > 1000 && unit < lastUnit) {", "while (value >= 1000 && unit < lastUnit) {", "host"),
    ("P31", "crypto/md5_digest.cpp", "MD5_STEP(F, a, b, c, d, x[0], 7, 0xd76aa478);", "MD5_STEP(F, a, b, c, d, x[0], 7, 0xd76aa479);", "host"),
    ("P32", "crypto/rijndael_cipher.cpp", "rounds_ = (nk > nb ? nk : nb) + 6;", "rounds_ = (nk > nb ? nb : nk) + 6;", "host"),
    ("P33", "update/file_crc.cpp", "if (fileSize < 4 || tail[2] != 0x55 || tail[3] != 0xAA)", "if (fileSize < 4 || tail[2] != 0x55)", "host"),
    ("P34", "update/file_crc.cpp", "if (affiliateLength + 4 > fileSize)", "if (affiliateLength + 4 >= fileSize)", "host"),
    ("P35", "ui/window_rules.cpp", "plan.percentTop = state == PS_UPDATE ? 286 : 100;", "plan.percentTop = state == PS_UPDATE ? 285 : 100;", "host"),
    ("P36", "report/report_writer.cpp", "if (n <= 0)", "if (n < 0)", "host"),
    ("P37", "app/companion_path.cpp", "static_cast<size_t>(slash - ownPath) + 1)", "static_cast<size_t>(slash - ownPath))", "host"),
    ("P38", "report/system_report.cpp", "for (int i = 0; i < 6; ++i)", "for (int i = 0; i < 5; ++i)", "host"),
    # Win32: each judged by the Win32 cases, then the scenarios of its area
    ("W01", "update/published_download_win.cpp", "if (size == expectedSize && entry->ulExpectedCrc != 0 && crc == entry->ulExpectedCrc)", "if (size == expectedSize && crc == entry->ulExpectedCrc)", r"^scenario\.(self_update|flash)\."),
    ("W02", "ui/store_download_win.cpp", "DWORD count = g_nDownloadSize > 0 ? static_cast<DWORD>(g_nDownloadSize) : 0;", "DWORD count = g_nDownloadSize > 1 ? static_cast<DWORD>(g_nDownloadSize) - 1 : 0;", r"^scenario\.(update|story)\."),
    ("W03", "app/stub_expansion_win.cpp", "!WriteFile(out.get(), chunk, part, &written, nullptr) || written != part) {", "!WriteFile(out.get(), chunk, part - 1, &written, nullptr) || written != part - 1) {", r"^scenario\.(startup|web_page)\."),
    ("W04", "app/self_update_win.cpp", "return error == ERROR_SHARING_VIOLATION || (replacing && error == ERROR_ACCESS_DENIED);", "return error == ERROR_SHARING_VIOLATION;", r"^scenario\.self_update\."),
    ("W05", "install/uninstall_win.cpp", "if (length <= 3)", "if (length < 3)", r"^scenario\.install\."),
    ("W06", "install/uninstall_win.cpp", "while (length > 3 && (full[length - 1] == '\\\\' || full[length - 1] == '/'))", "while (length > 2 && (full[length - 1] == '\\\\' || full[length - 1] == '/'))", r"^scenario\.install\."),
    ("W07", "install/install_actions_win.cpp", "return WriteFile(destination, bytes.get(), size, &written, nullptr) && written == size;", "return WriteFile(destination, bytes.get(), size - 1, &written, nullptr) && written == size - 1;", r"^scenario\.(install|story)\."),
    ("W08", "ui/flash_check_win.cpp", "*out = static_cast<uint32_t>(answer.lVal);", "*out = static_cast<uint32_t>(answer.lVal) + 0x10000;", r"^scenario\.flash\."),
    ("W09", "install/directory_path_win.cpp", "!CreateDirectoryA(partial, nullptr) && !isFolder(partial))", "!CreateDirectoryA(partial, nullptr))", r"^scenario\.(install|update)\."),
    ("W10", "update/server_status_win.cpp", "return total == 0 || sawOk;", "return sawOk;", r"^scenario\.update\."),
    ("W11", "update/manifest_fetch_win.cpp", "if (count > kMaxManifestBody - m_length)", "if (count > kMaxManifestBody - m_length + 1)", r"^scenario\.update\."),
    ("W12", "app/instance_win.cpp", "GWLP_USERDATA)) != MAIN_WINDOW_MARKER)", "GWLP_USERDATA)) == MAIN_WINDOW_MARKER)", r"^scenario\.instances\."),
    ("W13", "update/download_worker_win.cpp", "uint32_t fit = size - received < count ? size - received : count;", "uint32_t fit = size - received < count ? size - received - 1 : count;", r"^scenario\.update\."),
    ("W14", "update/download_worker_win.cpp", "formatText(header, sizeof header, \"Range: bytes=%u-\", static_cast<unsigned>(received));", "formatText(header, sizeof header, \"Range: bytes=%u-\", static_cast<unsigned>(received) + 1);", r"^scenario\.update\."),
    ("W15", "report/crash_files_win.cpp", "if (readRegistryBinary(HKEY_CURRENT_USER, DEBUG_KEY, valueName, buffer, &size) != 0)", "if (readRegistryBinary(HKEY_CURRENT_USER, DEBUG_KEY, valueName, buffer, &size) == 0)", r"^scenario\.bug_report\."),
    ("W16", "install/install_actions_win.cpp", "return lengthA && lengthA < sizeof fullA && lengthB && lengthB < sizeof fullB &&\n         lstrcmpiA(fullA, fullB) == 0;", "return lengthA && lengthA < sizeof fullA && lengthB && lengthB < sizeof fullB &&\n         lstrcmpA(fullA, fullB) == 0;", r"^scenario\.(install|story)\."),
]

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def run(cmd, cwd, timeout=None, env=None):
    try:
        return subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              text=True, timeout=timeout, env=env).returncode
    except subprocess.TimeoutExpired:
        return "timeout"


def build(trees, build_dir):
    for tree in trees:
        if run(["cmake", "--build", os.path.join(build_dir, tree), "-j", str(os.cpu_count())], ROOT) != 0:
            return tree
    return None


def ctest_fails(tree_dir, args, timeout):
    """True when a selected case fails (a timeout counts as a failure)."""
    rc = run(["ctest", "--stop-on-failure", "--timeout", "600"] + args, tree_dir, timeout=timeout)
    return rc != 0


def win32_cases_failing(build_dir):
    """The Win32 GoogleTest cases that fail. The program runs once with every
    case in one process (seconds, where one Wine process per case takes
    minutes); each case that fails there is run again alone, as the test run
    runs it, and counts only when it fails alone too."""
    tree = os.path.join(build_dir, "windows-tests")
    program = os.path.join(tree, "velorin_win32_tests.exe")
    emulator = os.path.join(ROOT, "cmake", "wine-run")
    env = dict(os.environ, VELORIN_EXE="Z:" + os.path.join(build_dir, "windows", "velorin.exe"))
    # Into a file: Wine's helper processes inherit and keep a pipe open.
    log = os.path.join(tree, "seed-one-process.log")
    with open(log, "w") as sink:
        try:
            subprocess.run([emulator, program, "--gtest_brief=1"], cwd=tree, env=env,
                           stdin=subprocess.DEVNULL, stdout=sink, stderr=subprocess.STDOUT, timeout=240)
        except subprocess.TimeoutExpired:
            pass
    with open(log, errors="replace") as f:
        out = f.read()
    ran_all = "[==========]" in out and " ran." in out
    if not ran_all:  # the program itself broke: every case, one by one
        return ["(all)"] if ctest_fails(tree, ["-LE", "ships"], 1800) else []
    failing = []
    for line in out.splitlines():
        if line.startswith("[  FAILED  ] ") and "," not in line and " test" not in line[13:].split(" (")[0]:
            name = line[13:].split(" ")[0]
            if name not in failing and ctest_fails(tree, ["-R", "^win32\\." + name.replace(".", "\\.") + "$"], 600):
                failing.append(name)
    return failing


def judge(fault, build_dir):
    fid, path, old, new, area = fault
    full = os.path.join(ROOT, path)
    with open(full, encoding="utf-8") as f:
        text = f.read()
    if text.count(old) != 1:
        return "not applicable", ""
    trees = ["host"] if area == "host" else ["windows", "windows-tests"]
    try:
        with open(full, "w", encoding="utf-8") as f:
            f.write(text.replace(old, new))
        broken = build(trees, build_dir)
        if broken:
            return "does not build", broken
        if area == "host":
            caught = ctest_fails(os.path.join(build_dir, "host"), ["-E", "^(fuzz_|bench_)"], 900)
            return ("caught" if caught else "missed"), "host cases"
        failing = win32_cases_failing(build_dir)
        if failing:
            return "caught", "Win32 cases " + " ".join(failing)
        if ctest_fails(os.path.join(build_dir, "windows"), ["-LE", "ships", "-R", area], 3600):
            return "caught", "scenarios " + area
        return "missed", "Win32 cases and scenarios " + area
    finally:
        with open(full, "w", encoding="utf-8") as f:
            f.write(text)


def main():
    # A stopped run still puts the source back (judge's finally).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--only", help="comma-separated fault ids")
    parser.add_argument("--out", default=None, help="also write the table here")
    parser.add_argument("--build", default=os.path.join(ROOT, "build"))
    parser.add_argument("--list", action="store_true", help="list the sample and exit")
    opts = parser.parse_args()
    faults = FAULTS
    if opts.only:
        wanted = set(opts.only.split(","))
        faults = [f for f in FAULTS if f[0] in wanted]
    if opts.list:
        for fid, path, old, new, area in faults:
            print(f"{fid} {path}: {old!r} -> {new!r} [{area}]")
        return 0
    lines, counts = [], {}
    for fault in faults:
        started = time.time()
        verdict, by = judge(fault, opts.build)
        counts[verdict] = counts.get(verdict, 0) + 1
        line = f"{fault[0]} {fault[1]:38} {verdict:14} {by} ({time.time() - started:.0f} s)"
        print(line, flush=True)
        lines.append(line)
    build(["host", "windows", "windows-tests"], opts.build)
    judged = counts.get("caught", 0) + counts.get("missed", 0)
    summary = f"caught {counts.get('caught', 0)} of {judged} seeded faults" + "".join(
        f"; {n} {v}" for v, n in counts.items() if v not in ("caught", "missed"))
    print(summary)
    if opts.out:
        with open(opts.out, "w") as f:
            f.write("\n".join(lines + [summary]) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
