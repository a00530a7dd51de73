# A ZIP whose entry names try to leave the destination, beside harmless ones
# that merely look like switches.
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for name, text in [("good.txt", "good"), ("../evil.txt", "evil"), ("/evil-absolute.txt", "evil"),
                       ("-dash.txt", "dash"), ("@at.txt", "at")]:
        z.writestr(zipfile.ZipInfo(name, (2020, 1, 1, 0, 0, 0)), text)
