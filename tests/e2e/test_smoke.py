import unittest

import testbed


@testbed.skip_unless_namespaces
class Smoke(unittest.TestCase):
    def test_program_window_is_found_in_the_operator_namespace(self):
        with testbed.TestBed("smoke", with_device=False) as bed:
            bed.start_program()
            driver = bed.driver()
            try:
                driver.ok("find", 15000)
                self.assertEqual(driver.call("alive"), ["ok", "1"])
            finally:
                driver.close()
