#!/usr/bin/env bash
# Makes the LZX bench's corpus of Windows DLLs and programs: the system
# libraries a Windows setup CD carries most of (kernel, user, shell, COM,
# networking, setup), as Debian's wine builds them for x86-64 Windows (or,
# with --i386, for 32-bit Windows, like a Windows 2000/XP setup CD's),
# stripped of their debug information as Windows ships its own. Nothing is
# installed: libwine's package is only downloaded and unpacked.
#
# Usage: wine_corpus.sh [--i386] <folder>   (the folder is made; it must not exist)
set -euo pipefail

arch=amd64
if [[ ${1:-} == --i386 ]]; then
  arch=i386
  shift
fi
if [[ $# -ne 1 ]]; then
  echo "usage: wine_corpus.sh [--i386] <folder>" >&2
  exit 2
fi
out=$1
if [[ -e $out ]]; then
  echo "wine_corpus.sh: $out already exists" >&2
  exit 1
fi

FILES=(
  kernel32.dll kernelbase.dll ntdll.dll user32.dll gdi32.dll advapi32.dll
  shell32.dll shlwapi.dll comctl32.dll comdlg32.dll ole32.dll oleaut32.dll
  rpcrt4.dll msvcrt.dll ws2_32.dll wininet.dll crypt32.dll setupapi.dll
  cabinet.dll msi.dll explorer.exe notepad.exe regedit.exe cmd.exe
)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
apt=()
windows=x86_64-windows
if [[ $arch == i386 ]]; then
  # The machine's package lists know only its own architecture: fetch the
  # i386 lists into the work folder, leaving the system's apt state alone.
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial"
  apt=(-o APT::Architectures::=amd64 -o APT::Architectures::=i386 -o "Dir::State::Lists=$work/lists"
    -o "Dir::Cache=$work/cache" -o Debug::NoLocking=1)
  windows=i386-windows
  if ! apt-get "${apt[@]}" update >"$work/update.log" 2>&1; then
    cat "$work/update.log" >&2
    echo "wine_corpus.sh: apt-get update of the i386 package lists failed" >&2
    exit 1
  fi
fi
# apt-get download writes into the current folder; its chatter (run as root
# it warns that its sandbox user cannot write there) is shown only on failure.
if ! (cd "$work" && apt-get "${apt[@]}" download "libwine:$arch" >"$work/download.log" 2>&1); then
  cat "$work/download.log" >&2
  echo "wine_corpus.sh: apt-get download libwine:$arch failed" >&2
  exit 1
fi
deb=$(find "$work" -maxdepth 1 -name "libwine_*_$arch.deb" | head -n 1)
if [[ -z $deb ]]; then
  echo "wine_corpus.sh: apt-get download libwine:$arch left no package" >&2
  exit 1
fi
dpkg-deb -x "$deb" "$work/root"
dlls=$(find "$work/root" -type d -name "$windows" | head -n 1)
if [[ -z $dlls ]]; then
  echo "wine_corpus.sh: $deb holds no $windows folder" >&2
  exit 1
fi

# Built beside the target and renamed, so a failed run leaves no half corpus.
mkdir "$work/corpus"
# strip stamps the PE header with the time of the run; the package's stamp
# goes back in and the header checksum is made again over the result, so
# every run makes the same corpus.
restamp() {
  python3 - "$1" "$2" <<'PY'
import struct, sys
source, target = sys.argv[1], sys.argv[2]
with open(source, "rb") as f:
    original = f.read(4096)
data = bytearray(open(target, "rb").read())
pe = struct.unpack_from("<I", data, 0x3C)[0]
data[pe + 8:pe + 12] = original[pe + 8:pe + 12]
checksum_at = pe + 24 + 64
data[checksum_at:checksum_at + 4] = bytes(4)
padded = data + bytes(len(data) % 2)
total = 0
for (word,) in struct.iter_unpack("<H", padded):
    total += word
    total = (total & 0xFFFF) + (total >> 16)
struct.pack_into("<I", data, checksum_at, (total + len(data)) & 0xFFFFFFFF)
open(target, "wb").write(data)
PY
}
for f in "${FILES[@]}"; do
  strip --strip-all -o "$work/corpus/$f" "$dlls/$f"
  restamp "$dlls/$f" "$work/corpus/$f"
done
mkdir -p "$(dirname "$out")"
mv "$work/corpus" "$out"
echo "wine_corpus.sh: $(find "$out" -type f | wc -l) files, $(du -sb "$out" | cut -f1) bytes in $out"
