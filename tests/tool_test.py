#!/usr/bin/env python3
"""End-to-end tests of the zelt command-line tool.

usage: tool_test.py ZELT VERSION GROUP

ZELT is the program, VERSION the version it must report, GROUP one of
check, list, xml, json, cli. Exits 0 when every case passes, 1 when one
fails, 77 when the group cannot run here (xml without xmllint).
"""
import base64
import json
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

SKIP = 77


def element(tag, value, name=b"", idx=b""):
    """The element the library's writers make; an Idx only with a Name."""
    opening = b"<" + tag
    if name:
        opening += b' Name="' + name + b'"'
        if idx:
            opening += b' Idx="' + idx + b'"'
    return opening + b">" + value + b"</" + tag + b">\n"


def pseudo_random_bytes(size, seed):
    out = bytearray()
    state = seed
    while len(out) < size:
        state = (state * 6364136223846793005 + 1442695040888963407) % 2**64
        out += state.to_bytes(8, "little")
    return bytes(out[:size])


WINDOW = 64 * 1024


def straddling_long_element(back):
    """An element longer than the few windows past which check only looks for
    its end, with near closing texts inside, and the real one beginning
    @p back bytes before the edge of one of the tool's windows (read from the
    text's start, 64 KiB each)."""
    value = (b"x" * 99 + b"\n") * 3000 + b"</big>\r\n</big></bi"
    closing = len(b"<big>") + len(value)
    return [(b"big", b"", b"", value + b"y" * ((-back - closing) % WINDOW))]


# Good texts, as the elements they hold: (tag, Name, Idx, value).
GOOD = {
    "empty": [],
    "scalars": [(b"count", b"", b"", b"42"), (b"flag", b"", b"", b"1"), (b"empty", b"", b"", b"")],
    "attributes": [(b"name", b"first", b"", b"Ada"), (b"name", b"first", b"2", b"Ada")],
    "the empty tag": [(b"", b"", b"", b"x"), (b"", b"n", b"", b"")],
    "NUL and control bytes": [(b"v", b"", b"", b"a\0b\x01\x1f\x7f\x1b[31m"), (b"c\x01", b"\x02", b"\x7f", b"\0")],
    "CR and CRLF in values": [(b"v", b"", b"", b"one\r\ntwo\r\n"), (b"r", b"", b"", b"\r"), (b"t", b"a\tb\r", b"\n", b"\t")],
    "line feeds in tags": [(b"a\nb", b"", b"", b"1\n2\n"), (b"c", b"", b"", b"3")],
    "not UTF-8": [(b"v", b"", b"", b"\xff\xfe\xc0\xaf\xed\xa0\x80\xe2\x82"), (b"\xe9t\xe9", b"\xe9", b"\xff", b"caf\xe9")],
    "markup in values": [(b"v", b"", b"", b"&lt; <b>x</b> ]]> \"' &#13; \\ </v>"), (b"q", b"a&b<c>'", b"\\", b">")],
    "tags XML cannot name": [(t, b"", b"", b"x") for t in
                             (b"1a", b"a:b", b"xmlns", b"XmlX", b"element", b"a&b", b'"q"', b"-a", b".a", b"\xc3\xa9",
                              b"t" * 256)],
    # Past the tool's 64 KiB window, with line feeds in values, so that lines
    # and offsets are counted across the windows' edges.
    "many windows": [(b"n", b"", b"", str(i).encode() + (b"\n" if i % 7 == 0 else b"")) for i in range(20000)],
    # Runs of more than 64 elements of one line each, numbered without
    # counting before each, between ones whose values hold line feeds.
    "line feeds now and then": [(b"n", b"", b"", str(i).encode() + (b"\n" if i % 97 == 0 else b"")) for i in range(3000)],
    "tags XML can name": [(t, b"", b"", b"x") for t in
                          (b"a", b"_", b"A-b.c_1", b"xm", b"elements", b"zelt", b"t" * 255)],
    "Unicode": [(b"gr\xc3\xb6\xc3\x9fe", b"\xe2\x82\xac", b"\xf0\x9f\x98\x80", b"\xe2\x82\xac \xf0\x9f\x98\x80"),
                (b"breaks", b"", b"", b"\xc2\x85\xe2\x80\xa8\xe2\x80\xa9\xc2\x80\xc2\x9f"),
                (b"nonchar", b"\xef\xbf\xbe", b"", b"\xef\xbf\xbf"), (b"last", b"", b"", b"\xf4\x8f\xbf\xbf\xef\xbf\xbd")],
    # Past the 64 KiB of a pipe and the tool's 256 KiB output buffer, in the widest forms.
    "large values": [(b"big", b"", b"", pseudo_random_bytes(300 * 1024, 1)),
                     (b"wide", b"", b"", b"\x01" * (70 * 1024)),
                     (b"amp", b"", b"", b"&" * (70 * 1024)),
                     (b"t" * 70000, b"n" * 70000, b"\x01" * 70000, b"\xe2\x82\xac" * 30000)],
}


def text_of(elements):
    return b"".join(element(tag, value, name, idx) for tag, name, idx, value in elements)


def after_windows(elements, bad, detail):
    """A BAD case: @p elements, which fill more than one of the tool's 64 KiB
    windows, then the text @p bad, reported with @p detail where it begins."""
    before = text_of(elements)
    line = 1 + before.count(b"\n")
    return before + bad, elements, f"FILE:{line}:1: {detail}"


def positions(elements):
    """(line, offset) where each element begins."""
    out, offset, line = [], 0, 1
    for tag, name, idx, value in elements:
        out.append((line, offset))
        written = element(tag, value, name, idx)
        offset += len(written)
        line += written.count(b"\n")
    return out


# Texts with an element that cannot be read: the text, the elements before
# it, and the first line check writes to standard error (FILE for the name).
BAD = [
    ("text before an element", b"junk<a>1</a>\n", [], 'FILE:1:1: text before an element: "junk<a>1</a>\\n"'),
    ("a blank line between elements", b"<a>1</a>\n\n<b>2</b>\n", [(b"a", b"", b"", b"1")],
     'FILE:2:1: text before an element: "\\n<b>2</b>\\n"'),
    ("a NUL before an element", b"\0<a>1</a>\n", [], 'FILE:1:1: text before an element: "\\x00<a>1</a>\\n"'),
    ("another closing tag", b"<a>1</a>\n<b>2</c>\n", [(b"a", b"", b"", b"1")],
     "FILE:2:1: no </b> and line feed follows"),
    ("no line feed at the end", b"<a>1</a>", [], "FILE:1:1: no </a> and line feed follows"),
    ("CRLF line ends", b"<a>1</a>\r\n<b>2</b>\r\n", [], "FILE:1:1: no </a> and line feed follows (a CRLF line end?)"),
    ("blank lines after the last element", b"<a>1</a>\n\n \t\r\n", [(b"a", b"", b"", b"1")],
     "FILE:2:1: blank text after the last element"),
    ("the value hides the closing text", b"<a>\n1\n</a>\n<b>x</b", [(b"a", b"", b"", b"\n1\n")],
     "FILE:4:1: no </b> and line feed follows"),
    ("an unterminated attribute", b'<a Name="x>1</a>\n', [], 'FILE:1:1: after <a Name=": unterminated attribute value'),
    ("an unknown attribute", b'<a Name="x" Idx="1" More="2">v</a>\n', [],
     'FILE:1:1: after <a Name="x" Idx="1": unknown attribute'),
    ("no > after the attributes", b'<a Name="x"Idx="1">v</a>\n', [],
     'FILE:1:1: after <a Name="x": no ">" ends the opening tag'),
    ("an opening tag cut short", b"<a>1</a>\n<abc", [(b"a", b"", b"", b"1")],
     'FILE:2:1: after <abc: no ">" ends the opening tag'),
    ("a tag holding a space", b"<a b>x</a b>\n", [],
     "FILE:1:1: after <a: unknown attribute (a tag cannot hold a space or '>')"),
    ("a tag holding >", b"<a>b>x</a>b>\n", [], "FILE:1:1: no </a> and line feed follows"),
    # Text that cannot be read in the window after the first, and text whose
    # excerpt runs past the first window's end (its last four bytes).
    ("no closing text after a window", *after_windows([(b"n", b"", b"", b"%05d\n" % i) for i in range(6000)],
                                                       b"<a>1</b>\n", "no </a> and line feed follows")),
    ("text across a window's end", *after_windows([(b"n", b"", b"", b"%04d" % i) for i in range(5461)], b"junk" * 7,
                                                  'text before an element: "junkjunkjunkjunkjunkjunk"...')),
    # Long elements that never close, and one after a long one with line feeds.
    ("a long element with CRLF line ends", b"<v>" + (b"x" * 98 + b"\r\n") * 5000 + b"</v>\r\n<w>1</w>\r\n", [],
     "FILE:1:1: no </v> and line feed follows (a CRLF line end?)"),
    # Its closing text with a carriage return begins 4, 5 or 6 bytes before a window's edge.
    *(("a long element whose CRLF line end crosses a window's edge", b"<v>" + b"x" * (5 * WINDOW - 3 - back)
       + b"</v>\r\n", [], "FILE:1:1: no </v> and line feed follows (a CRLF line end?)") for back in (4, 5, 6)),
    ("a long element that never closes", b'<v Name="a">' + b"</v>" * 100000, [], "FILE:1:1: no </v> and line feed follows"),
    ("no closing text after a long element", *after_windows([(b"big", b"", b"", (b"x" * 99 + b"\n") * 3000)],
                                                            b"<a>1</b>\n", "no </a> and line feed follows")),
    *(("a long element closing across a window's edge", *after_windows(straddling_long_element(back),
      b"<a>1</b>\n", "no </a> and line feed follows")) for back in range(1, 9)),
    # Blank text past the next window's end, then text, or nothing more.
    ("blank text, then text, past a window", *after_windows([(b"n", b"", b"", b"%04d" % i) for i in range(5461)],
                                                            b" " * 70000 + b"x", 'text before an element: "'
                                                            + " " * 24 + '"...')),
    ("blank text to the end past a window", *after_windows([(b"n", b"", b"", b"%04d" % i) for i in range(5461)],
                                                           b" \n" * 70000, "blank text after the last element")),
]

failures = []


def expect(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what)


def run(arguments, stdin=b""):
    return subprocess.run([ZELT] + arguments, input=stdin, capture_output=True, timeout=120)


def write(directory, name, content):
    path = os.path.join(directory, name)
    with open(path, "wb") as f:
        f.write(content)
    return path


def first_line(data):
    return data.decode("utf-8", "replace").split("\n")[0]


def each_text(directory):
    """Every text of the tables, written to a file: (name, path, elements before the problem, diagnostic)."""
    for name, elements in GOOD.items():
        yield name, write(directory, "good.zelt", text_of(elements)), elements, None
    for name, text, before, diagnostic in BAD:
        path = write(directory, "bad.zelt", text)
        yield name, path, before, diagnostic.replace("FILE", path)


def expect_statuses(result, name, elements, diagnostic):
    if diagnostic is None:
        expect(result.returncode == 0 and result.stderr == b"", f"{name}: status {result.returncode}, {result.stderr!r}")
    else:
        expect(result.returncode == 1, f"{name}: status {result.returncode}, not 1")
        expect(first_line(result.stderr) == diagnostic, f"{name}: diagnostic {first_line(result.stderr)!r}")


def test_check(directory):
    for name, path, elements, diagnostic in each_text(directory):
        result = run(["check", path])
        expect_statuses(result, name, elements, diagnostic)
        expect(result.stdout == b"", f"{name}: check wrote to standard output")
    good = write(directory, "a.zelt", text_of(GOOD["scalars"]))
    bad = write(directory, "b.zelt", b"<a>1</a>\n<b>2</c>\n")
    missing = os.path.join(directory, "missing.zelt")
    # Every file is checked; the worst status wins.
    result = run(["check", good, bad, good])
    expect(result.returncode == 1 and result.stderr.decode() == f"{bad}:2:1: no </b> and line feed follows\n",
           f"good, bad, good: {result.returncode} {result.stderr!r}")
    result = run(["check", missing, bad, directory])
    lines = result.stderr.decode().splitlines()
    expect(result.returncode == 2 and len(lines) == 3, f"missing, bad, folder: {result.returncode} {lines}")
    expect(lines[0].startswith(f"zelt: {missing}: ") and lines[0].endswith("No such file or directory"),
           f"missing file: {lines[0]!r}")
    expect(lines[1].startswith(bad + ":2:1: "), f"bad after missing: {lines[1]!r}")
    expect(lines[2].startswith(f"zelt: {directory}: "), f"folder: {lines[2]!r}")
    result = run(["check", "-"], stdin=b"<a>1</a>\nx")
    expect(result.returncode == 1 and first_line(result.stderr) == '<stdin>:2:1: text before an element: "x"',
           f"standard input: {result.returncode} {result.stderr!r}")


def unescape_list_field(field):
    out, i = bytearray(), 0
    simple = {ord("t"): b"\t", ord("n"): b"\n", ord("r"): b"\r", ord("\\"): b"\\"}
    while i < len(field):
        if field[i] != ord("\\"):
            out.append(field[i])
            i += 1
        elif field[i + 1] == ord("x"):
            out.append(int(field[i + 2:i + 4], 16))
            i += 4
        else:
            out += simple[field[i + 1]]
            i += 2
    return bytes(out)


def printable_utf8(data):
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError:
        return False
    return not any(ord(c) < 0x20 or 0x7F <= ord(c) < 0xA0 for c in text)


def test_list(directory):
    for name, path, elements, diagnostic in each_text(directory):
        result = run(["list", path])
        expect_statuses(result, name, elements, diagnostic)
        lines = result.stdout.split(b"\n")
        expect(lines.pop() == b"", f"{name}: list output does not end with a line feed")
        expect(len(lines) == len(elements), f"{name}: {len(lines)} lines for {len(elements)} elements")
        for line, (tag, attr_name, idx, value), (number, _) in zip(lines, elements, positions(elements)):
            fields = line.split(b"\t")
            expect(len(fields) == 5 and all(printable_utf8(f) for f in fields), f"{name}: fields {fields[:4]!r}")
            expected = [str(number).encode(), tag, attr_name, idx, value]
            got = fields[:1] + [unescape_list_field(f) for f in fields[1:]]
            expect(got == expected, f"{name}: list gives {got[:4]!r} for {expected[:4]!r}")
    # Shortened values: cut at N bytes, never inside a character, then "...".
    cuts = [(b"abcdef", "3", b"abc..."), (b"abc", "3", b"abc"), (b"abcd", "0", b"..."), (b"", "0", b""),
            (b"a\xe2\x82\xac", "2", b"a..."), (b"a\xe2\x82\xac", "4", b"a\xe2\x82\xac"),
            (b"a\xe2\x82\xacb", "4", b"a\xe2\x82\xac..."), (b"\xff\xfe\xfd", "2", b"\\xff\\xfe..."),
            (b"\t\t\t", "1", b"\\t...")]
    for value, count, shown in cuts:
        path = write(directory, "cut.zelt", element(b"v", value))
        for form in (["--max-value", count], ["--max-value=" + count]):
            result = run(["list"] + form + [path])
            expect(result.returncode == 0 and result.stdout == b"1\tv\t\t\t" + shown + b"\n",
                   f"list {form} of {value!r}: {result.stdout!r}")


def json_elements(output):
    """The elements of zelt json's output, bytes restored by surrogateescape."""
    lines = output.split(b"\n")
    expect(lines.pop() == b"", "json output does not end with a line feed")
    expect(len(output.decode("utf-8").splitlines()) == len(lines), "a JSON record holds a line break")
    got = []
    for line in lines:
        record = json.loads(line)
        restore = lambda key: record[key].encode("utf-8", "surrogateescape") if key in record else b""
        expect(set(record) <= {"line", "offset", "tag", "name", "idx", "value"}, f"json keys {sorted(record)}")
        expect(("name" not in record or record["name"]) and ("idx" not in record or record["idx"]),
               f"json gives an empty name or idx: {line[:80]!r}")
        got.append(((record["line"], record["offset"]),
                    (restore("tag"), restore("name"), restore("idx"), restore("value"))))
    return got


def test_json(directory):
    for name, path, elements, diagnostic in each_text(directory):
        result = run(["json", path])
        expect_statuses(result, name, elements, diagnostic)
        expected = list(zip(positions(elements), elements))
        expect(json_elements(result.stdout) == expected, f"{name}: json does not give the elements back")


def xml_elements(document):
    """The elements of zelt xml's output, as its lossless forms give them back."""
    root = ElementTree.fromstring(document)
    expect(root.tag == "zelt", f"the root element is <{root.tag}>")

    def field(attributes, key):
        if key + "-base64" in attributes:
            return base64.b64decode(attributes[key + "-base64"], validate=True)
        return attributes.get(key, "").encode()

    got = []
    for child in root:
        a = child.attrib
        expect(set(a) <= {"tag", "tag-base64", "Name", "Name-base64", "Idx", "Idx-base64", "encoding"}
               and (child.tag == "element") == ("tag" in a or "tag-base64" in a), f"xml attributes {sorted(a)}")
        tag = field(a, "tag") if child.tag == "element" else child.tag.encode()
        text = child.text or ""
        value = base64.b64decode(text, validate=True) if a.get("encoding") == "base64" else text.encode()
        got.append((tag, field(a, "Name"), field(a, "Idx"), value))
    return got


def test_xml(directory):
    if shutil.which("xmllint") is None:
        print("SKIPPED: xmllint (Debian package libxml2-utils) is not installed; the XML output is not checked")
        sys.exit(SKIP)
    for name, path, elements, diagnostic in each_text(directory):
        result = run(["xml", path])
        expect_statuses(result, name, elements, diagnostic)
        document = write(directory, "out.xml", result.stdout)
        lint = subprocess.run(["xmllint", "--noout", document], capture_output=True)
        expect(lint.returncode == 0 and lint.stderr == b"", f"{name}: xmllint: {lint.stderr[:300]!r}")
        expect(result.stdout.startswith(b'<?xml version="1.0" encoding="UTF-8"?>\n'), f"{name}: no XML declaration")
        expect(xml_elements(result.stdout) == elements, f"{name}: xml does not give the elements back")
        if name.startswith("tags XML"):
            own = name == "tags XML can name"
            names = [child.tag for child in ElementTree.fromstring(result.stdout)]
            expect(names == [tag.decode() if own else "element" for tag, _, _, _ in elements], f"{name}: {names}")


def test_cli(directory):
    result = run(["--help"])
    commands = [line.split()[0] for line in result.stdout.decode().splitlines() if line.startswith("  ")]
    expect(result.returncode == 0 and commands[:6] == ["check", "list", "xml", "json", "--help", "--version"],
           f"--help: {result.returncode} {commands}")
    expect(run(["list", "--help"]).stdout == result.stdout, "list --help differs from --help")
    result = run(["--version"])
    expect(result.returncode == 0 and result.stdout == f"zelt {VERSION}\n".encode(), f"--version: {result.stdout!r}")

    path = write(directory, "good.zelt", text_of(GOOD["scalars"]))
    usage = [
        ([], "zelt: no command given"),
        (["lint", path], "zelt: unknown command 'lint'"),
        (["check"], "zelt: check needs a FILE (- for standard input)"),
        (["xml", path, path], "zelt: xml takes one FILE"),
        (["json", "--max-value", "3", path], "zelt: unknown option '--max-value' for json"),
        (["list", "-x", path], "zelt: unknown option '-x' for list"),
        (["list", "--max-values=3", path], "zelt: unknown option '--max-values=3' for list"),
        (["list", path, "--max-value"], "zelt: option '--max-value' needs a number: --max-value N"),
        (["list", "--max-value", "-1", path], "zelt: --max-value takes a count of bytes, not '-1'"),
        (["list", "--max-value=3x", path], "zelt: --max-value takes a count of bytes, not '3x'"),
    ]
    for arguments, message in usage:
        result = run(arguments)
        expect(result.returncode == 2 and result.stdout == b"" and result.stderr.decode().splitlines() ==
               [message, "Try 'zelt --help' for more information."], f"{arguments}: {result.stderr!r}")

    # Standard input, and a file whose name starts with a dash after --.
    text = text_of(GOOD["attributes"])
    dashed = write(directory, "-dashed.zelt", text)
    for command in ("list", "xml", "json"):
        from_stdin = run([command, "-"], stdin=text)
        from_file = run([command, "--", dashed])
        expect(from_stdin.returncode == 0 and from_stdin.stdout == from_file.stdout and from_file.returncode == 0,
               f"{command} of standard input and of a file differ")
    for arguments in (["list", os.path.join(directory, "missing")], ["json", directory]):
        result = run(arguments)
        expect(result.returncode == 2 and first_line(result.stderr).startswith(f"zelt: {arguments[1]}: "),
               f"{arguments}: {result.returncode} {result.stderr!r}")

    # An element larger than the memory the program may have: reported, and the next file still read.
    # The text is read a window at a time, so only a single element can outgrow the memory; check
    # holds only the end of a long element, so it finds that this one never closes.
    # Sanitized builds reserve more address space than any such limit leaves.
    with open(ZELT, "rb") as program:
        sanitized = b"__asan_init" in program.read()
    if not sanitized:
        sparse = os.path.join(directory, "huge.zelt")
        with open(sparse, "wb") as f:
            f.write(b"<a>")
            f.truncate(1 << 30)
        limit = lambda: resource.setrlimit(resource.RLIMIT_AS, (768 << 20, 768 << 20))
        result = subprocess.run([ZELT, "check", sparse, path, sparse + "x"], capture_output=True, preexec_fn=limit)
        lines = result.stderr.decode().splitlines()
        expect(result.returncode == 2 and len(lines) == 2 and lines[0] == f"{sparse}:1:1: no </a> and line feed follows"
               and lines[1].startswith(f"zelt: {sparse}x: "), f"check of an element too large: {result.returncode} {lines}")
        result = subprocess.run([ZELT, "list", sparse], capture_output=True, preexec_fn=limit)
        lines = result.stderr.decode().splitlines()
        expect(result.returncode == 2 and len(lines) == 1 and lines[0].startswith(f"zelt: {sparse}: "),
               f"list of an element too large: {result.returncode} {lines}")

    # A reader that goes away early: quiet, status 0.
    big = write(directory, "big.zelt", text_of([(b"n", b"", b"", str(i).encode()) for i in range(200000)]))
    for command in ("list", "xml", "json"):
        process = subprocess.Popen([ZELT, command, big], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        process.stdout.readline()
        process.stdout.close()
        status = process.wait(timeout=60)
        stderr = process.stderr.read()
        process.stderr.close()
        expect(status == 0 and stderr == b"", f"{command} | head: {status} {stderr!r}")
    # Output that cannot be written.
    if os.path.exists("/dev/full"):
        for arguments in (["list", big], ["--help"]):
            with open("/dev/full", "wb") as full:
                result = subprocess.run([ZELT] + arguments, stdout=full, stderr=subprocess.PIPE, timeout=60)
            expect(result.returncode == 2 and result.stderr == b"zelt: write error: No space left on device\n",
                   f"{arguments} > /dev/full: {result.returncode} {result.stderr!r}")
    # Past a file-size limit, SIGXFSZ at its default (subprocess restores it), which would kill the program.
    out = os.path.join(directory, "out.json")
    result = subprocess.run(["sh", "-c", 'ulimit -f 8 && exec "$0" json "$1" > "$2"', ZELT, big, out],
                            stderr=subprocess.PIPE, timeout=60)
    expect(result.returncode == 2 and result.stderr == b"zelt: write error: File too large\n",
           f"json > a file past ulimit -f: {result.returncode} {result.stderr!r}")


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    ZELT, VERSION, group = sys.argv[1:]
    with tempfile.TemporaryDirectory() as scratch:
        globals()["test_" + group](scratch)
    print(f"{group}: {len(failures)} failures" if failures else f"{group}: every case passed")
    sys.exit(1 if failures else 0)
