import pathlib
import subprocess
import sys

EXAMPLE = pathlib.Path(__file__).resolve().parent.parent / "examples" / "fit_and_plot.py"


def test_example_prints_the_front_and_writes_its_plot(tmp_path):
    png = tmp_path / "front.png"
    out = subprocess.run([sys.executable, str(EXAMPLE), str(png)], check=True,
                         capture_output=True, text=True).stdout
    assert "model: " in out and "train MSE" in out
    assert png.read_bytes().startswith(b"\x89PNG")
