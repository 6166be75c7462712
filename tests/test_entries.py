"""entries.py against the module: every public name has its row, and every cross-cutting table
(leaks, fuzz, digests, the guide) has a row for every entry."""

import types
from pathlib import Path

import pytest

import digest
import entries
import vesparil


def walk(module, prefix=""):
    for name in module.__all__:
        value = getattr(module, name)
        yield prefix + name, value
        if type(value) is types.ModuleType:
            yield from walk(value, f"{prefix}{name}.")


def own_members(cls):
    methods = [name for name, value in vars(cls).items()
               if not name.startswith("_") and callable(value)]
    attributes = [name for name, value in vars(cls).items()
                  if not name.startswith("_") and type(value) is types.GetSetDescriptorType]
    return methods, attributes


def test_every_public_name_has_a_row():
    unlisted = []
    for path, value in walk(vesparil):
        if type(value) is types.ModuleType:
            listed = path in entries.SUBMODULE_ALL
        elif isinstance(value, type):
            listed = path in entries.CLASSES
            if listed:
                methods, attributes = own_members(value)
                _, _, row_methods, row_attributes, _ = entries.CLASSES[path]
                assert sorted(methods) == sorted(row_methods), path
                assert sorted(attributes) == sorted(row_attributes), path
        else:
            listed = path in entries.FUNCTIONS
        if not listed:
            unlisted.append(path)
    assert unlisted == [], "public names without a row in tests/entries.py"


def table_rows(name):
    # Imported here: a module that fails to import fails only its own row.
    if name == "fuzz":
        import test_fuzz
        return [entry.name for entry in test_fuzz.ENTRIES], entries.row_names()
    if name == "leaks":
        import test_leaks
        return ([row[0] for row in test_leaks.ENTRIES + test_leaks.EVERY_ENTRY],
                entries.row_names())
    return [row for row, _ in digest.rows()], entries.COMPUTING


@pytest.mark.parametrize("table", ["fuzz", "leaks", "digests"])
def test_cross_cutting_table_covers_every_entry(table):
    rows, required = table_rows(table)
    assert entries.missing_rows(rows, required) == []


def test_guide_documents_every_entry():
    docs = Path(__file__).resolve().parent.parent / "docs"
    pages = [(path, page) for path, (_, page) in entries.FUNCTIONS.items()]
    pages += [(path, row[-1]) for path, row in entries.CLASSES.items()]
    undocumented = [path for path, page in pages
                    if entries.short(path) not in (docs / page).read_text()]
    assert undocumented == []
