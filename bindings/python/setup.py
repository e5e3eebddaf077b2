# Zentarix — MIT licence.
# Builds the zentarix package; its type tables are generated from the repository's IDL on the way.
import os
import subprocess
import sys

from setuptools import setup
from setuptools.command.build_py import build_py

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))


class BuildWithTypeTables(build_py):
    """Writes zentarix/_typelib.py into the build from idl/zentarix.idl with tools/idlgen, the
    generator that makes the C++ glue, so that the tables never drift from the library."""

    def run(self):
        super().run()
        target = os.path.join(self.build_lib, "zentarix", "_typelib.py")
        subprocess.run([sys.executable, "-B", os.path.join(ROOT, "tools", "idlgen", "idlgen.py"), "--python", target,
                        os.path.join(ROOT, "idl", "zentarix.idl")], check=True)


setup(cmdclass={"build_py": BuildWithTypeTables}, package_dir={"": os.path.relpath(HERE)})
