# A ZIP whose entry names try to leave the destination (each holds the marker
# the test searches the whole drive for), beside harmless ones that merely
# look like switches.
import sys, zipfile
marker = "tavixhostileapp"
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for name, text in [("good.txt", "good"),
                       ("../evil-" + marker + ".txt", "evil"),
                       ("../../evil-up2-" + marker + ".txt", "evil"),
                       ("/evil-absolute-" + marker + ".txt", "evil"),
                       ("\\evil-root-" + marker + ".txt", "evil"),
                       ("C:/evil-drive-" + marker + ".txt", "evil"),
                       ("C:evil-drive-relative-" + marker + ".txt", "evil"),
                       ("sub/../../evil-inner-" + marker + ".txt", "evil"),
                       ("-dash.txt", "dash"), ("@at.txt", "at")]:
        z.writestr(zipfile.ZipInfo(name, (2020, 1, 1, 0, 0, 0)), text)
