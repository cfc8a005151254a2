"""Runs end-to-end test modules: run_e2e.py --program EXE --driver EXE
--peer BIN --prefix WINEPREFIX --work DIR [--netfail-program EXE]
[--loader WINE] MODULE..."""
import argparse
import sys
import unittest

import testbed  # from scripts/lib, which CTest puts on PYTHONPATH

parser = argparse.ArgumentParser()
testbed.add_path_arguments(parser)
parser.add_argument("modules", nargs="+")
args = parser.parse_args()
testbed.set_paths(args)
suite = unittest.defaultTestLoader.loadTestsFromNames(args.modules)
sys.exit(0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1)
