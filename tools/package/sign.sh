#!/usr/bin/env bash
# Signs Windows programs and installer packages in place (Authenticode, with
# osslsigncode), when a certificate is given in the environment:
#
#   VORN_SIGN_PFX        the PKCS#12 file with the certificate and its key
#   VORN_SIGN_PASSWORD   its password (may be empty)
#   VORN_SIGN_TIMESTAMP  an RFC 3161 timestamp server's URL (optional: without
#                        one, the signatures carry no time stamp)
#
#   tools/package/sign.sh FILE...
#
# Without VORN_SIGN_PFX it changes nothing. The password reaches
# osslsigncode through a file only this user can read, never on a command
# line that other users' process lists show.
set -euo pipefail
[ -n "${VORN_SIGN_PFX:-}" ] || exit 0
if [ ! -r "$VORN_SIGN_PFX" ]; then
  echo "sign: cannot read the certificate $VORN_SIGN_PFX (VORN_SIGN_PFX)" >&2
  exit 1
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
(umask 077 && printf '%s' "${VORN_SIGN_PASSWORD:-}" >"$tmp/pass")
args=(-pkcs12 "$VORN_SIGN_PFX" -readpass "$tmp/pass" -h sha256 -n "marlet / tovrin")
if [ -n "${VORN_SIGN_TIMESTAMP:-}" ]; then
  args+=(-ts "$VORN_SIGN_TIMESTAMP")
fi
for file in "$@"; do
  rm -f "$tmp/signed"
  if ! osslsigncode sign "${args[@]}" -in "$file" -out "$tmp/signed" >"$tmp/log" 2>&1; then
    echo "sign: osslsigncode could not sign $file:" >&2
    cat "$tmp/log" >&2
    exit 1
  fi
  cat "$tmp/signed" >"$file"
done
