#!/bin/sh
# The Python set-up that docs/programming.md gives, as a newcomer runs it on Debian 12 with
# nothing but the package mirror: without a virtual environment (PYTHONPATH), then in one
# made with --system-site-packages, installed with pip offline. Each way must reach the
# simulated robot. Run by .ci/run after the build: setupway.sh CHECKOUT KESTRAVA-CLI.
set -eu
checkout="$1"
cli="$2"
python=/usr/bin/python3
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

echo "without a virtual environment:"
KESTRAVA_CLI="$cli" PYTHONPATH="$checkout/python" "$python" -m kestrava --simulate

echo "in a virtual environment:"
"$python" -m venv --system-site-packages --without-pip venv
# --no-index: the way must work with no network at all.
venv/bin/python -m pip install --quiet --no-index --no-build-isolation -e "$checkout/python"
KESTRAVA_CLI="$cli" venv/bin/python -m kestrava --simulate
# The package stays in the checkout, so it finds that checkout's build by itself.
venv/bin/python -c 'import kestrava._server as s; print(s.find_program())' | grep -qx "$checkout/build/bin/kestrava-cli"
