"""Runs end-to-end test modules: run_e2e.py --program EXE --driver EXE
--peer BIN --prefix WINEPREFIX --work DIR [--loader WINE] MODULE..."""
import argparse
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import testbed  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    testbed.add_path_arguments(parser)
    parser.add_argument("modules", nargs="+")
    args = parser.parse_args()
    testbed.set_paths(args)
    suite = unittest.defaultTestLoader.loadTestsFromNames(args.modules)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
