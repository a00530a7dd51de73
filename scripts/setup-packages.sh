#!/usr/bin/env bash
# Installs the Debian packages Tavix needs to build, run and test, and the
# deb-src entry the dependency build uses. Run as root; a second run is quick.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

packages=(
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 cmake ninja-build nasm dpkg-dev python3
  wine wine64 fonts-wine locales xvfb xauth imagemagick xdotool fonts-ipafont-gothic fonts-ipafont-mincho
  googletest libz-mingw-w64-dev
  lhasa jlha-utils zip unzip 7zip libarchive-tools gcab cabextract arj unar sharutils
  clang libclang-rt-14-dev
  tango-icon-theme
  cups cups-client printer-driver-cups-pdf poppler-utils ghostscript tesseract-ocr tesseract-ocr-eng tesseract-ocr-jpn
)

src_list=/etc/apt/sources.list.d/tavix-deb-src.sources
need_update=0
if [ ! -f "$src_list" ]; then
  # Same archive and suites as the binary entries, for apt-get source.
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -e 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > "$src_list"
  else
    grep -h -E '^deb ' /etc/apt/sources.list | sed -e 's/^deb /deb-src /' > /etc/apt/sources.list.d/tavix-deb-src.list
    touch "$src_list"
  fi
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ $need_update = 1 ]; then
  apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Code page 932 under Wine needs the glibc Japanese locale.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf-\?8$'; then
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi

# The printing tests print through Wine to a real CUPS queue, "TavixPDF",
# whose cups-pdf backend writes PDF files into a folder of its own; the tests
# take their files from there (by their titles) and delete them, and read
# them back with pdfinfo, pdftoppm and tesseract. Running the program needs
# no printer; only those tests do.
pdf_out=/var/spool/cups-pdf/TavixPDF
pdf_conf=/etc/cups/cups-pdf-TavixPDF.conf
printf '%s\n' "Out $pdf_out" "AnonDirName $pdf_out" "TitlePref 1" "Label 2" "DecodeHexStrings 1" "LogType 1" > "$pdf_conf"
mkdir -p "$pdf_out"
# lpstat's answers are read in English whatever the locale.
scheduler_up() { [ "$(LC_ALL=C lpstat -r 2>/dev/null)" = "scheduler is running" ]; }
if ! scheduler_up; then
  # No service manager on some machines (CI containers): start it ourselves.
  if command -v systemctl >/dev/null && [ -d /run/systemd/system ]; then
    systemctl start cups || cupsd
  else
    cupsd
  fi
  for _ in $(seq 1 100); do scheduler_up && break; sleep 0.2; done
  scheduler_up || { echo "setup: the CUPS scheduler did not start" >&2; exit 1; }
fi
if [ "$(LC_ALL=C lpstat -v TavixPDF 2>/dev/null)" != "device for TavixPDF: cups-pdf:/TavixPDF" ]; then
  lpadmin -p TavixPDF -E -v cups-pdf:/TavixPDF -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd -o printer-error-policy=abort-job
fi
cupsenable TavixPDF
cupsaccept TavixPDF
# Wine takes CUPS's default as its own; the tests choose TavixPDF themselves.
case "$(LC_ALL=C lpstat -d 2>/dev/null)" in
  "system default destination:"*) ;;
  *) lpadmin -d TavixPDF ;;
esac
