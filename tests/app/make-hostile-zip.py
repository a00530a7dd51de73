# A ZIP whose entry names try to leave the destination (each holds the marker
# the test searches the whole drive for), beside harmless ones that merely
# look like switches. Arguments: the ZIP, then optionally the marker and the
# extension of the entries.
import sys, zipfile
marker = sys.argv[2] if len(sys.argv) > 2 else "tavixhostileapp"
ext = sys.argv[3] if len(sys.argv) > 3 else ".txt"
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for name, text in [("good" + ext, "good"),
                       ("../evil-" + marker + ext, "evil"),
                       ("../../evil-up2-" + marker + ext, "evil"),
                       ("/evil-absolute-" + marker + ext, "evil"),
                       ("\\evil-root-" + marker + ext, "evil"),
                       ("..\\evil-back-" + marker + ext, "evil"),
                       ("C:/evil-drive-" + marker + ext, "evil"),
                       ("C:evil-drive-relative-" + marker + ext, "evil"),
                       ("sub/../../evil-inner-" + marker + ext, "evil"),
                       ("-dash" + ext, "dash"), ("@at" + ext, "at")]:
        z.writestr(zipfile.ZipInfo(name, (2020, 1, 1, 0, 0, 0)), text)
