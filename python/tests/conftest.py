"""What the suites share: the demo database, made once, and sigmat-cli to compare with."""
import json
import os
import subprocess

import pytest

import sigmat

CLI = os.environ["SIGMAT_CLI"]
DEMO_DB = os.environ["SIGMAT_DEMO_DB"]


@pytest.fixture(scope="session")
def db_path(tmp_path_factory):
    path = tmp_path_factory.mktemp("demo") / "db"
    subprocess.run([DEMO_DB, str(path)], check=True, stdout=subprocess.DEVNULL)
    return str(path)


@pytest.fixture(scope="session")
def db(db_path):
    return sigmat.Database(db_path)


def run_cli(db_path, *args):
    """sigmat-cli's standard output and its warnings (standard error's "warning: " lines,
    without that prefix)."""
    done = subprocess.run([CLI, "--db", db_path, *args], check=True, capture_output=True,
                          text=True)
    warnings = [line[len("warning: "):] for line in done.stderr.splitlines()
                if line.startswith("warning: ")]
    return done.stdout, warnings


def cli(db_path, *args):
    return run_cli(db_path, *args)[0]


def cli_json(db_path, *args):
    return json.loads(cli(db_path, *args, "--format", "json"))
