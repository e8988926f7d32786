"""Runs the built axsr program as a user would and checks what it prints and writes.

Usage: axsr_test.py PATH_TO_AXSR GROUP, where GROUP is one of fit, predict, bad_input,
csv_forms, threads, interrupt (each a CTest test of its own, so that they run side by side).
"""
import ast
import csv
import json
import math
import os
import pty
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest

AXSR = None
DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "testdata", "quadratic.csv")
OUTPUT_FILES = ["model.xml", "front.json", "run.csv", "predictions.csv",
                "error.svg", "size.svg", "front.svg", "predicted.svg"]
# Small runs: the program's behaviour, not the search, is under test.
SMALL = ["--population", "60", "--generations", "6", "--functions", "arithmetic,Sin"]


def run(*args, cwd=None):
    return subprocess.run([AXSR, *args], capture_output=True, text=True, cwd=cwd, timeout=120)


def read_rows(path):
    with open(path, newline="") as f:
        return list(csv.reader(f))


def evaluate(infix, row):
    """Value of an infix formula of axsr at one row (dict of column values), with the
    protected forms the library uses: a/0 is 1, log(a) is log|a| and 0 at 0, sqrt(a) is
    sqrt|a|."""
    functions = {
        "sin": math.sin, "cos": math.cos, "exp": math.exp, "tanh": math.tanh, "abs": abs,
        "log": lambda a: 0.0 if a == 0 else math.log(abs(a)),
        "sqrt": lambda a: math.sqrt(abs(a)),
    }

    def value(node):
        if isinstance(node, ast.Expression):
            return value(node.body)
        if isinstance(node, ast.Constant):
            return float(node.value)
        if isinstance(node, ast.Name):
            return row[node.id]
        if isinstance(node, ast.UnaryOp) and isinstance(node.op, ast.USub):
            return -value(node.operand)
        if isinstance(node, ast.Call):
            return functions[node.func.id](*[value(a) for a in node.args])
        if isinstance(node, ast.BinOp):
            a, b = value(node.left), value(node.right)
            op = type(node.op)
            if op is ast.Add:
                return a + b
            if op is ast.Sub:
                return a - b
            if op is ast.Mult:
                return a * b
            if op is ast.Div:
                return 1.0 if b == 0 else a / b
            if op is ast.Pow:
                return a ** b
        raise ValueError(f"unexpected {ast.dump(node)} in {infix}")

    return value(ast.parse(infix.replace("^", "**"), mode="eval"))


class AxsrCase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="axsr_test_")

    def tearDown(self):
        shutil.rmtree(self.dir)

    def path(self, *names):
        return os.path.join(self.dir, *names)

    def fit(self, data=DATA, *extra, out="out"):
        result = run("fit", data, "--target", "y", "--seed", "5", "--output", self.path(out),
                     *SMALL, *extra)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result


class Fit(AxsrCase):
    def test_writes_every_file_in_a_form_that_parses(self):
        result = self.fit()
        for name in OUTPUT_FILES:
            self.assertTrue(os.path.isfile(self.path("out", name)), name)
        xml = [self.path("out", n) for n in OUTPUT_FILES if n.endswith((".xml", ".svg"))]
        lint = subprocess.run(["xmllint", "--noout", *xml], capture_output=True, text=True)
        self.assertEqual(lint.returncode, 0, lint.stderr)
        front = json.load(open(self.path("out", "front.json")))
        self.assertEqual(front["features"], ["x0", "x1"])
        self.assertEqual(len(front["test_rows"]), 15)  # 25 % of 60 rows
        log = read_rows(self.path("out", "run.csv"))
        self.assertEqual(log[0][0], "generation")
        self.assertEqual([r[0] for r in log[1:]], [str(g) for g in range(7)])
        # No temporary file is left beside the results.
        self.assertEqual(sorted(os.listdir(self.path("out"))), sorted(OUTPUT_FILES))
        chosen = front["front"][front["chosen"]]
        self.assertIn("y = " + chosen["infix"], result.stdout)

    def test_front_formulas_give_the_reported_errors(self):
        self.fit()
        front = json.load(open(self.path("out", "front.json")))
        rows = read_rows(DATA)
        header, data = rows[0], rows[1:]
        test_rows = set(front["test_rows"])  # file rows, the header is row 1
        split = {"train": [], "test": []}
        for number, cells in enumerate(data, start=2):
            values = dict(zip(header, map(float, cells)))
            split["test" if number in test_rows else "train"].append(values)
        self.assertEqual(len(split["train"]) + len(split["test"]), 60)
        self.assertGreater(len(front["front"]), 1)
        for member in front["front"]:
            for name, rows_of in split.items():
                mse = sum((evaluate(member["infix"], r) - r["y"]) ** 2 for r in rows_of) / len(rows_of)
                self.assertTrue(math.isclose(mse, member[name + "_mse"], rel_tol=1e-9, abs_tol=1e-12),
                                f"{member['infix']}: {name} MSE {mse} != {member[name + '_mse']}")

    def test_progress_goes_to_stderr_as_plain_lines_when_not_a_terminal(self):
        result = self.fit()
        lines = result.stderr.splitlines()
        self.assertNotIn("\r", result.stderr)
        self.assertTrue(lines[0].startswith("generation 0/6  best MSE "), lines)
        self.assertTrue(lines[-1].startswith("generation 6/6  "), lines)
        self.assertIn("front ", lines[-1])
        self.assertIn("ETA ", lines[-1])
        self.assertNotIn("generation 0/", result.stdout)

    def test_progress_on_a_terminal_is_one_line_rewritten(self):
        primary, secondary = pty.openpty()
        process = subprocess.run([AXSR, "fit", DATA, "--target", "y", "--output", self.path("out"), *SMALL],
                                 stdout=subprocess.DEVNULL, stderr=secondary, timeout=120)
        os.close(secondary)
        shown = b""
        while True:
            try:
                chunk = os.read(primary, 4096)
            except OSError:  # the terminal closes with the program
                break
            if not chunk:
                break
            shown += chunk
        os.close(primary)
        self.assertEqual(process.returncode, 0)
        updates = shown.split(b"\r\x1b[K")[1:]
        self.assertEqual(len(updates), 7)  # generations 0 to 6
        self.assertTrue(updates[-1].startswith(b"generation 6/6"))
        self.assertTrue(updates[-1].endswith(b"\n"))

    def test_a_seed_repeats_the_run(self):
        self.fit(out="a")
        self.fit(out="b")
        for name in ["front.json", "model.xml", "predictions.csv"]:
            self.assertEqual(open(self.path("a", name)).read(), open(self.path("b", name)).read(), name)


class Predict(AxsrCase):
    def test_predictions_equal_the_fits_bit_for_bit(self):
        self.fit()
        model = self.path("out", "model.xml")
        result = run("predict", model, DATA)
        self.assertEqual(result.returncode, 0, result.stderr)
        lines = result.stdout.splitlines()
        self.assertEqual(lines[0], "prediction")
        fitted = [r[3] for r in read_rows(self.path("out", "predictions.csv"))[1:]]
        self.assertEqual(lines[1:], fitted)  # shortest round-trip text: same text, same double

    def test_keep_columns_and_output_file(self):
        self.fit()
        data = self.path("named.csv")
        with open(data, "w") as f:
            f.write('"a,b",x1,x0\n7,0.5,1\n8,-1,2\n')
        result = run("predict", self.path("out", "model.xml"), data, "--keep-columns",
                     "--output", self.path("p.csv"))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout, "")
        rows = read_rows(self.path("p.csv"))
        self.assertEqual(rows[0], ["a,b", "x1", "x0", "prediction"])
        self.assertEqual([r[:3] for r in rows[1:]], [["7", "0.5", "1"], ["8", "-1", "2"]])
        plain = run("predict", self.path("out", "model.xml"), data).stdout.splitlines()
        self.assertEqual([r[3] for r in rows[1:]], plain[1:])

    def test_bad_model_or_data_exit_1(self):
        self.fit()
        missing = self.path("missing.csv")
        with open(missing, "w") as f:
            f.write("x0,y\n1,2\n")
        not_xml = self.path("model.txt")
        with open(not_xml, "w") as f:
            f.write("x0,y\n")
        cases = [
            ([self.path("out", "model.xml"), missing], ['missing.csv: no column "x1"']),
            ([not_xml, DATA], ["model.txt: not a model document"]),
        ]
        for args, messages in cases:
            result = run("predict", *args, "--output", self.path("never.csv"))
            self.assertEqual(result.returncode, 1, args)
            for m in messages:
                self.assertIn(m, result.stderr)
            self.assertFalse(os.path.exists(self.path("never.csv")))


class BadInput(AxsrCase):
    def test_bad_files_exit_1_naming_file_row_and_column_and_write_nothing(self):
        cases = {
            "empty": ("", "the file is empty"),
            "header_only": ("x0,y\n", "no data rows"),
            "ragged": ("x0,y\n1,2\n3\n4,5\n", "row 3"),
            "text_cell": ("x0,y\n1,2\n3,abc\n4,5\n", 'row 3, column 2 ("y"): "abc"'),
            "no_target": ("x0,z\n1,2\n3,4\n5,6\n", 'no column "y"'),
            "huge": ("x0,y\n1,2\n1e308,4\n5,6\n", 'row 3, column 1 ("x0"): 1e+308 is too large'),
            "nan": ("x0,y\n1,2\n3,4\nnan,6\n", 'row 4, column 1 ("x0"): "nan"'),
            "constant": ("x0,y\n1,2\n3,2\n5,2\n", "constant"),
        }
        for name, (text, message) in cases.items():
            data = self.path(name + ".csv")
            with open(data, "w") as f:
                f.write(text)
            result = run("fit", data, "--target", "y", "--output", self.path("out_" + name), *SMALL)
            self.assertEqual(result.returncode, 1, name)
            self.assertIn(name + ".csv", result.stderr, name)
            self.assertIn(message, result.stderr, name)
            self.assertFalse(os.path.exists(self.path("out_" + name)), name)

    def test_an_output_folder_that_cannot_be_made_exits_1(self):
        blocker = self.path("file")
        with open(blocker, "w") as f:
            f.write("not a folder")
        result = run("fit", DATA, "--target", "y", "--output", os.path.join(blocker, "out"), *SMALL)
        self.assertEqual(result.returncode, 1)
        self.assertIn(os.path.join(blocker, "out") + ": cannot create the folder", result.stderr)
        self.assertEqual(os.listdir(self.dir), ["file"])

    def test_usage_errors_exit_2_and_help_and_version_exit_0(self):
        for args in [["fit", DATA], ["fit", DATA, "--target", "y", "--threads", "0"],
                     ["fit", DATA, "--target", "y", "--test-fraction", "1.5"],
                     ["fit", DATA, "--target", "y", "--test-fraction", "nan"],
                     ["fit", DATA, "--target", "y", "--time-limit", "nan"],
                     ["fit", DATA, "--target", "y", "--no-such-option"], [], ["predict"]]:
            result = run(*args, "--output", self.path("out"))
            self.assertEqual(result.returncode, 2, args)
            self.assertNotEqual(result.stderr, "", args)
            self.assertFalse(os.path.exists(self.path("out")), args)
        for args in [["--help"], ["fit", "--help"], ["predict", "--help"]]:
            result = run(*args)
            self.assertEqual(result.returncode, 0, args)
            self.assertIn("Usage", result.stdout)
        version = run("--version")
        self.assertEqual(version.returncode, 0)
        self.assertRegex(version.stdout, r"^axsr \d+\.\d+\.\d+")


class CsvForms(AxsrCase):
    def test_crlf_bom_and_quoted_fields_read_as_the_plain_file(self):
        rows = read_rows(DATA)
        forms = {
            "crlf": "".join(",".join(r) + "\r\n" for r in rows),
            "bom": "\ufeff" + "".join(",".join(r) + "\n" for r in rows),
            # A quoted column name holding a comma, quoted numbers, a column left out.
            "quoted": '"note,a",' + ",".join(f'"{c}"' for c in rows[0]) + "\n"
                      + "".join("1," + ",".join(f'"{c}"' for c in r) + "\n" for r in rows[1:]),
        }
        self.fit(DATA, "--features", "x0,x1", out="plain")
        expected = json.load(open(self.path("plain", "front.json")))["front"]
        for name, text in forms.items():
            data = self.path(name + ".csv")
            with open(data, "w", encoding="utf-8", newline="") as f:
                f.write(text)
            self.fit(data, "--features", "x0,x1", out=name)
            self.assertEqual(json.load(open(self.path(name, "front.json")))["front"], expected, name)


class Threads(AxsrCase):
    def test_two_threads_give_the_same_front_as_one(self):
        self.fit(DATA, "--threads", "1", out="one")
        self.fit(DATA, "--threads", "2", out="two")
        for name in ["front.json", "model.xml"]:
            self.assertEqual(open(self.path("one", name)).read(), open(self.path("two", name)).read(), name)


class Interrupt(AxsrCase):
    """Ctrl-C (SIGINT) during a long fit."""

    def start(self):
        process = subprocess.Popen([AXSR, "fit", DATA, "--target", "y", "--output", self.path("out"),
                                    "--population", "300", "--generations", "1000000"],
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.addCleanup(process.kill)
        # The handler is in place once generation 0 is reported.
        self.assertTrue(process.stderr.readline().startswith("generation 0/1000000"))
        process.send_signal(signal.SIGINT)
        return process

    def test_first_ctrl_c_stops_after_the_generation_and_writes_its_results(self):
        process = self.start()
        out, err = process.communicate(timeout=120)
        self.assertEqual(process.returncode, 130, err)
        self.assertIn("stopping after this generation", err)
        done = int(err.split("axsr: interrupted after generation ")[1].split()[0])
        self.assertEqual(sorted(os.listdir(self.path("out"))), sorted(OUTPUT_FILES))
        self.assertEqual(len(read_rows(self.path("out", "run.csv"))), done + 2)  # header, 0..done
        self.assertIn(f", {done} generations, ", out)
        json.load(open(self.path("out", "front.json")))

    def test_second_ctrl_c_quits_at_once_writing_nothing(self):
        process = self.start()
        for line in process.stderr:
            if "stopping after this generation" in line:
                break
        process.send_signal(signal.SIGINT)
        process.communicate(timeout=120)
        self.assertEqual(process.returncode, -signal.SIGINT)
        self.assertFalse(os.path.exists(self.path("out")))


GROUPS = {"fit": Fit, "predict": Predict, "bad_input": BadInput, "csv_forms": CsvForms,
          "threads": Threads, "interrupt": Interrupt}

if __name__ == "__main__":
    AXSR = os.path.abspath(sys.argv[1])
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(GROUPS[sys.argv[2]])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)
