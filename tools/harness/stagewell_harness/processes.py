"""Ending the helper processes a tool starts."""

import subprocess


def stop(process, grace_s):
    """Asks the process to end, and kills it if it has not within grace_s."""
    process.terminate()
    try:
        process.wait(timeout=grace_s)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
