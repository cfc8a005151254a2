"""Runs end-to-end test modules: run_e2e.py --program EXE --driver EXE
--peer BIN --prefix WINEPREFIX --work DIR [--loader WINE] MODULE..."""
import argparse
import os
import sys
import unittest

import testbed  # from scripts/lib, which CTest puts on PYTHONPATH


def main():
    parser = argparse.ArgumentParser()
    for name in ("program", "driver", "peer", "prefix", "work"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--netfail-program", default=None)
    parser.add_argument("--loader", default=os.environ.get("WINELOADER", "/usr/lib/wine/wine64"))
    parser.add_argument("modules", nargs="+")
    args = parser.parse_args()
    for name in ("program", "netfail_program", "driver", "peer", "prefix", "work", "loader"):
        value = getattr(args, name)
        testbed.PATHS[name] = os.path.abspath(value) if value else None
    os.makedirs(testbed.PATHS["work"], exist_ok=True)
    suite = unittest.defaultTestLoader.loadTestsFromNames(args.modules)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
