#!/usr/bin/env python3
"""End-to-end tests of the zelt command-line tool, on the standard unittest runner.

usage: tool_test.py ZELT VERSION [GROUP...]
   or: ZELT_PROGRAM=ZELT ZELT_VERSION=VERSION python3 -m unittest tool_test

ZELT is the program, VERSION the version it must report, GROUP one or more
of check, list, xml, json, cli (all when none is named). Run as a script it
exits 0 when every case passes, 1 when one fails, and 77 when every case it
ran was skipped (xml without xmllint), which CTest reports as skipped.
"""
import base64
import json
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

SKIP = 77
ZELT = os.environ.get("ZELT_PROGRAM", "")
VERSION = os.environ.get("ZELT_VERSION", "")


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


def run(arguments, stdin=b""):
    return subprocess.run([ZELT] + arguments, input=stdin, capture_output=True, timeout=120)


def write(directory, name, content):
    path = os.path.join(directory, name)
    with open(path, "wb") as f:
        f.write(content)
    return path


def first_line(data):
    return data.decode("utf-8", "replace").split("\n")[0]


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


class ToolTest(unittest.TestCase):
    """A scratch folder per test, and the checks every command shares."""

    def setUp(self):
        if not ZELT:
            self.skipTest("no program given: set ZELT_PROGRAM and ZELT_VERSION, or run tool_test.py ZELT VERSION")
        scratch = tempfile.TemporaryDirectory()
        self.addCleanup(scratch.cleanup)
        self.directory = scratch.name

    def for_each_text(self, command, check_output):
        """Runs @p command on every text of the tables, each in a subtest of its
        name; checks the status and the diagnostic, then has
        check_output(name, result, elements before the problem) check the output."""
        cases = [(name, text_of(elements), elements, None) for name, elements in GOOD.items()] + BAD
        for name, text, before, diagnostic in cases:
            with self.subTest(name):
                path = write(self.directory, "text.zelt", text)
                result = run([command, path])
                if diagnostic is None:
                    self.assertEqual((result.returncode, result.stderr), (0, b""))
                else:
                    self.assertEqual(result.returncode, 1)
                    self.assertEqual(first_line(result.stderr), diagnostic.replace("FILE", path))
                check_output(name, result, before)


class CheckTest(ToolTest):
    def test_texts(self):
        self.for_each_text("check", lambda name, result, elements: self.assertEqual(result.stdout, b""))

    def test_every_file_is_checked_and_the_worst_status_wins(self):
        good = write(self.directory, "a.zelt", text_of(GOOD["scalars"]))
        bad = write(self.directory, "b.zelt", b"<a>1</a>\n<b>2</c>\n")
        missing = os.path.join(self.directory, "missing.zelt")
        result = run(["check", good, bad, good])
        self.assertEqual((result.returncode, result.stderr.decode()), (1, f"{bad}:2:1: no </b> and line feed follows\n"))
        result = run(["check", missing, bad, self.directory])
        lines = result.stderr.decode().splitlines()
        self.assertEqual((result.returncode, len(lines)), (2, 3), lines)
        self.assertTrue(lines[0].startswith(f"zelt: {missing}: ") and lines[0].endswith("No such file or directory"),
                        lines[0])
        self.assertTrue(lines[1].startswith(bad + ":2:1: "), lines[1])
        self.assertTrue(lines[2].startswith(f"zelt: {self.directory}: "), lines[2])

    def test_standard_input(self):
        result = run(["check", "-"], stdin=b"<a>1</a>\nx")
        self.assertEqual((result.returncode, first_line(result.stderr)),
                         (1, '<stdin>:2:1: text before an element: "x"'))


class ListTest(ToolTest):
    def test_texts(self):
        self.for_each_text("list", self.check_lines)

    def check_lines(self, name, result, elements):
        lines = result.stdout.split(b"\n")
        self.assertEqual(lines.pop(), b"", "list output does not end with a line feed")
        self.assertEqual(len(lines), len(elements), "one line per element")
        for line, (tag, attr_name, idx, value), (number, _) in zip(lines, elements, positions(elements)):
            fields = line.split(b"\t")
            self.assertTrue(len(fields) == 5 and all(printable_utf8(f) for f in fields), fields[:4])
            expected = [str(number).encode(), tag, attr_name, idx, value]
            got = fields[:1] + [unescape_list_field(f) for f in fields[1:]]
            self.assertEqual(got, expected)

    def test_max_value_cuts_whole_characters(self):
        # Cut at N bytes, never inside a character, then "...".
        cuts = [(b"abcdef", "3", b"abc..."), (b"abc", "3", b"abc"), (b"abcd", "0", b"..."), (b"", "0", b""),
                (b"a\xe2\x82\xac", "2", b"a..."), (b"a\xe2\x82\xac", "4", b"a\xe2\x82\xac"),
                (b"a\xe2\x82\xacb", "4", b"a\xe2\x82\xac..."), (b"\xff\xfe\xfd", "2", b"\\xff\\xfe..."),
                (b"\t\t\t", "1", b"\\t...")]
        for value, count, shown in cuts:
            path = write(self.directory, "cut.zelt", element(b"v", value))
            for form in (["--max-value", count], ["--max-value=" + count]):
                with self.subTest(value=value, form=form):
                    result = run(["list"] + form + [path])
                    self.assertEqual((result.returncode, result.stdout), (0, b"1\tv\t\t\t" + shown + b"\n"))


class JsonTest(ToolTest):
    def elements(self, output):
        """The elements of zelt json's output, bytes restored by surrogateescape."""
        lines = output.split(b"\n")
        self.assertEqual(lines.pop(), b"", "json output does not end with a line feed")
        self.assertEqual(len(output.decode("utf-8").splitlines()), len(lines), "a JSON record holds a line break")
        got = []
        for line in lines:
            record = json.loads(line)
            restore = lambda key: record[key].encode("utf-8", "surrogateescape") if key in record else b""
            self.assertLessEqual(set(record), {"line", "offset", "tag", "name", "idx", "value"})
            self.assertTrue(("name" not in record or record["name"]) and ("idx" not in record or record["idx"]),
                            f"json gives an empty name or idx: {line[:80]!r}")
            got.append(((record["line"], record["offset"]),
                        (restore("tag"), restore("name"), restore("idx"), restore("value"))))
        return got

    def test_texts(self):
        self.for_each_text("json", lambda name, result, elements: self.assertEqual(
            self.elements(result.stdout), list(zip(positions(elements), elements)), "json does not give the elements back"))


class XmlTest(ToolTest):
    def setUp(self):
        super().setUp()
        if shutil.which("xmllint") is None:
            self.skipTest("xmllint (Debian package libxml2-utils) is not installed; the XML output is not checked")

    def elements(self, document):
        """The elements of zelt xml's output, as its lossless forms give them back."""
        root = ElementTree.fromstring(document)
        self.assertEqual(root.tag, "zelt")

        def field(attributes, key):
            if key + "-base64" in attributes:
                return base64.b64decode(attributes[key + "-base64"], validate=True)
            return attributes.get(key, "").encode()

        got = []
        for child in root:
            a = child.attrib
            self.assertTrue(set(a) <= {"tag", "tag-base64", "Name", "Name-base64", "Idx", "Idx-base64", "encoding"}
                            and (child.tag == "element") == ("tag" in a or "tag-base64" in a), sorted(a))
            tag = field(a, "tag") if child.tag == "element" else child.tag.encode()
            text = child.text or ""
            value = base64.b64decode(text, validate=True) if a.get("encoding") == "base64" else text.encode()
            got.append((tag, field(a, "Name"), field(a, "Idx"), value))
        return got

    def test_texts(self):
        self.for_each_text("xml", self.check_document)

    def check_document(self, name, result, elements):
        document = write(self.directory, "out.xml", result.stdout)
        lint = subprocess.run(["xmllint", "--noout", document], capture_output=True)
        self.assertEqual((lint.returncode, lint.stderr[:300]), (0, b""), "xmllint")
        self.assertTrue(result.stdout.startswith(b'<?xml version="1.0" encoding="UTF-8"?>\n'), "no XML declaration")
        self.assertEqual(self.elements(result.stdout), elements, "xml does not give the elements back")
        if name.startswith("tags XML"):
            own = name == "tags XML can name"
            names = [child.tag for child in ElementTree.fromstring(result.stdout)]
            self.assertEqual(names, [tag.decode() if own else "element" for tag, _, _, _ in elements])


class CommandLineTest(ToolTest):
    def test_help_and_version(self):
        result = run(["--help"])
        commands = [line.split()[0] for line in result.stdout.decode().splitlines() if line.startswith("  ")]
        self.assertEqual((result.returncode, commands[:6]), (0, ["check", "list", "xml", "json", "--help", "--version"]))
        self.assertEqual(run(["list", "--help"]).stdout, result.stdout, "list --help differs from --help")
        result = run(["--version"])
        self.assertEqual((result.returncode, result.stdout), (0, f"zelt {VERSION}\n".encode()))

    def test_usage_errors(self):
        path = write(self.directory, "good.zelt", text_of(GOOD["scalars"]))
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
            with self.subTest(arguments=arguments):
                result = run(arguments)
                self.assertEqual((result.returncode, result.stdout, result.stderr.decode().splitlines()),
                                 (2, b"", [message, "Try 'zelt --help' for more information."]))

    def test_hex_escapes_share_one_case(self):
        # A byte shown in hex looks the same whether the program escapes it
        # (list) or the library's message does (check's diagnostic).
        shown = {"list": run(["list", "-"], stdin=element(b"v", b"\x7f\xab\x1f")).stdout,
                 "check": run(["check", "-"], stdin=b"\x7f\xab\x1f<v>1</v>\n").stderr}
        for where, output in shown.items():
            with self.subTest(where):
                self.assertIn(b"\\x7f\\xab\\x1f", output)

    def test_standard_input_and_a_dashed_name(self):
        text = text_of(GOOD["attributes"])
        dashed = write(self.directory, "-dashed.zelt", text)
        for command in ("list", "xml", "json"):
            with self.subTest(command):
                from_stdin = run([command, "-"], stdin=text)
                from_file = run([command, "--", dashed])
                self.assertEqual((from_stdin.returncode, from_file.returncode), (0, 0))
                self.assertEqual(from_stdin.stdout, from_file.stdout)

    def test_files_that_cannot_be_read(self):
        for arguments in (["list", os.path.join(self.directory, "missing")], ["json", self.directory]):
            with self.subTest(arguments=arguments):
                result = run(arguments)
                self.assertEqual(result.returncode, 2)
                self.assertTrue(first_line(result.stderr).startswith(f"zelt: {arguments[1]}: "), result.stderr)

    def test_an_element_larger_than_memory(self):
        # Reported, and the next file still checked. The text is read a window
        # at a time, so only a single element can outgrow the memory.
        # Sanitized builds reserve more address space than any such limit leaves.
        with open(ZELT, "rb") as program:
            if b"__asan_init" in program.read():
                self.skipTest("a sanitized build reserves more address space than the limit leaves")
        path = write(self.directory, "good.zelt", text_of(GOOD["scalars"]))
        sparse = os.path.join(self.directory, "huge.zelt")
        with open(sparse, "wb") as f:
            f.write(b"<a>")
            f.truncate(1 << 30)
        limit = lambda: resource.setrlimit(resource.RLIMIT_AS, (768 << 20, 768 << 20))
        result = subprocess.run([ZELT, "check", sparse, path, sparse + "x"], capture_output=True, preexec_fn=limit)
        lines = result.stderr.decode().splitlines()
        # check holds only the end of a long element, so it finds that this one never closes.
        self.assertEqual((result.returncode, len(lines)), (2, 2), lines)
        self.assertEqual(lines[0], f"{sparse}:1:1: no </a> and line feed follows")
        self.assertTrue(lines[1].startswith(f"zelt: {sparse}x: "), lines)
        # list needs the element's bytes: reported as too large for the memory.
        result = subprocess.run([ZELT, "list", sparse], capture_output=True, preexec_fn=limit)
        lines = result.stderr.decode().splitlines()
        self.assertEqual((result.returncode, len(lines)), (2, 1), lines)
        self.assertTrue(lines[0].startswith(f"zelt: {sparse}: "), lines)

    def test_output_that_goes_away_or_cannot_be_written(self):
        big = write(self.directory, "big.zelt", text_of([(b"n", b"", b"", str(i).encode()) for i in range(200000)]))
        # A reader that goes away early: quiet, status 0.
        for command in ("list", "xml", "json"):
            with self.subTest(f"{command} | head"):
                process = subprocess.Popen([ZELT, command, big], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                process.stdout.readline()
                process.stdout.close()
                status = process.wait(timeout=60)
                stderr = process.stderr.read()
                process.stderr.close()
                self.assertEqual((status, stderr), (0, b""))
        if not os.path.exists("/dev/full"):
            return
        for arguments in (["list", big], ["--help"]):
            with self.subTest(f"{arguments} > /dev/full"):
                with open("/dev/full", "wb") as full:
                    result = subprocess.run([ZELT] + arguments, stdout=full, stderr=subprocess.PIPE, timeout=60)
                self.assertEqual((result.returncode, result.stderr), (2, b"zelt: write error: No space left on device\n"))
        # Past a file-size limit, SIGXFSZ at its default (subprocess restores it), which would kill the program.
        out = os.path.join(self.directory, "out.json")
        result = subprocess.run(["sh", "-c", 'ulimit -f 8 && exec "$0" json "$1" > "$2"', ZELT, big, out],
                                stderr=subprocess.PIPE, timeout=60)
        # Only the first line is the program's: a coverage build's profile writer, under the same
        # limit, complains after it.
        self.assertEqual((result.returncode, first_line(result.stderr)), (2, "zelt: write error: File too large"))


# The groups CTest runs one by one.
GROUPS = {"check": CheckTest, "list": ListTest, "xml": XmlTest, "json": JsonTest, "cli": CommandLineTest}

if __name__ == "__main__":
    if len(sys.argv) < 3 or not set(sys.argv[3:]) <= set(GROUPS):
        sys.exit(__doc__)
    ZELT, VERSION = sys.argv[1:3]
    suite = unittest.TestSuite(unittest.defaultTestLoader.loadTestsFromTestCase(GROUPS[name])
                               for name in sys.argv[3:] or GROUPS)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    if not result.wasSuccessful():
        sys.exit(1)
    sys.exit(SKIP if len(result.skipped) == result.testsRun else 0)
