"""Runs the acceptance suite (test_acceptance.py) for ctest: exit 0 when it passes, 1 when a
scenario fails, 77 (ctest's skip) when this machine cannot run it and nothing requires it to."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import test_acceptance  # noqa: E402

if __name__ == "__main__":
    names = sys.argv[1:]
    loader = unittest.defaultTestLoader
    suite = loader.loadTestsFromNames(names, test_acceptance) if names else loader.loadTestsFromModule(test_acceptance)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    if not result.wasSuccessful():
        sys.exit(1)
    if result.testsRun and len(result.skipped) == result.testsRun:
        print("acceptance: skipped: %s" % test_acceptance.SKIP_WHY)
        sys.exit(77)
    sys.exit(0)
