# Zentarix — MIT licence.
# The Python client's tests run against the build tree (CTest puts its package on PYTHONPATH and
# its libraries on LD_LIBRARY_PATH); the module is registered in a private registry first.
import os
import subprocess

import pytest

BUILD = os.environ["ZX_TEST_BUILD_DIR"]
MODULE = os.path.join(BUILD, "lib", "libzentarix.so")


@pytest.fixture(scope="session", autouse=True)
def registry(tmp_path_factory):
    path = tmp_path_factory.mktemp("registry") / "registry.txt"
    os.environ["ZENTARIX_REGISTRY"] = str(path)
    subprocess.run([os.path.join(BUILD, "bin", "zxregsvr"), "/s", MODULE], check=True)
    return path


@pytest.fixture
def image():
    import zentarix
    return zentarix.Dispatch("Zentarix.RasterObject")
