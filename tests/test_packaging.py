"""The installed distribution's metadata matches pyproject.toml and the LICENSE file."""

import importlib.metadata
import tomllib
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent


def test_installed_metadata_matches_the_project():
    project = tomllib.loads((REPO / "pyproject.toml").read_text())["project"]
    metadata = importlib.metadata.metadata("vesparil")
    assert importlib.metadata.version("vesparil") == project["version"]
    assert metadata["Summary"] == project["description"]
    assert metadata.get_all("Classifier") == project["classifiers"]
    for minor in range(11, 16):
        assert f"Programming Language :: Python :: 3.{minor}" in project["classifiers"]
    assert project["license"] == {"text": "MIT"}
    assert "License :: OSI Approved :: MIT License" in project["classifiers"]
    assert (REPO / "LICENSE").read_text().startswith("MIT License")
