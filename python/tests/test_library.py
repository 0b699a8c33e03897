# SPDX-License-Identifier: MIT
"""Finding libzelq.so: beside the package, through ZELQ_LIBRARY, or failing
with a message that names every place tried."""

from __future__ import annotations

import os
import shutil
import subprocess
import sys
from pathlib import Path
from typing import Dict, Optional

import pytest

import zelq
from zelq import _library


def _mapped(name: str) -> str:
    """The file this process has loaded under that name."""
    with open("/proc/self/maps") as f:
        for line in f:
            path = line.split()[-1]
            if os.path.basename(path) == name:
                return path
    raise AssertionError(f"{name} is not loaded")


def _run(code: str, env: Dict[str, str], cwd: Path) -> subprocess.CompletedProcess:
    return subprocess.run([sys.executable, "-c", code], env=env, cwd=cwd, capture_output=True, text=True)


def _env(library: Optional[str]) -> Dict[str, str]:
    env = {k: v for k, v in os.environ.items() if k not in ("ZELQ_LIBRARY", "LD_LIBRARY_PATH", "PYTHONPATH")}
    if library is not None:
        env["ZELQ_LIBRARY"] = library
    return env


@pytest.fixture
def package_copy(tmp_path: Path) -> Path:
    """The package alone in a folder of its own (imported from there as cwd)."""
    shutil.copytree(os.path.dirname(zelq.__file__), tmp_path / "zelq", ignore=shutil.ignore_patterns("*.so", "__pycache__"))
    return tmp_path


def test_found_beside_the_package(package_copy: Path) -> None:
    for name in ("libzelq.so", "libqfloat.so"):
        shutil.copy(_mapped(name), package_copy / "zelq" / name)
    r = _run("import zelq; print(zelq.library_path); print(zelq.ndtr(-1, as_type=float))", _env(None), package_copy)
    assert r.returncode == 0, r.stderr
    assert r.stdout.split() == [str(package_copy / "zelq" / "libzelq.so"), "0.15865525393145705"]


def test_found_through_the_variable(package_copy: Path) -> None:
    lib = _mapped("libzelq.so")
    for given in (lib, os.path.dirname(lib)):  # the file or its folder
        r = _run("import zelq; print(zelq.library_path)", _env(given), package_copy)
        assert r.returncode == 0, r.stderr
        assert r.stdout.strip() == lib


def test_not_found_names_the_places_tried(package_copy: Path, tmp_path: Path) -> None:
    missing = str(tmp_path / "nowhere" / "libzelq.so")
    r = _run("import zelq", _env(missing), package_copy)
    assert r.returncode != 0
    assert f"ImportError: zelq: cannot load libzelq.so; tried:\n  $ZELQ_LIBRARY: {missing}: no such file" in r.stderr
    assert "unset ZELQ_LIBRARY" in r.stderr
    # without the variable: beside the package, then the system's path
    places = _library.candidates(None, str(package_copy / "zelq"))
    places[1] = (places[1][0], "libzelq-not-installed.so")
    with pytest.raises(ImportError) as e:
        _library.load(places)
    assert str(e.value).splitlines() == [
        "zelq: cannot load libzelq.so; tried:",
        f"  beside the package: {package_copy / 'zelq' / 'libzelq.so'}: no such file",
        "  the system's library path: libzelq-not-installed.so: libzelq-not-installed.so: "
        "cannot open shared object file: No such file or directory",
        "(set ZELQ_LIBRARY to the file (or its folder))",
    ]


def test_a_library_without_the_entry_is_refused(tmp_path: Path) -> None:
    with pytest.raises(ImportError, match=r"libqfloat.so: has no entry str_Zelq_str_Maple"):
        _library.load([("$ZELQ_LIBRARY", _mapped("libqfloat.so"))])
