# ZIPs for the drag tests: plain entries, two entries of one name in
# different folders, and hostile names (each holds the marker the test
# searches the whole drive for).
import sys, zipfile
out = sys.argv[1]
when = (2020, 1, 1, 0, 0, 0)
with zipfile.ZipFile(out + "/drag.zip", "w") as z:
    for name, text in [("top.txt", "top level\n"), ("a/readme.txt", "from folder a\n"),
                       ("b/readme.txt", "from folder b, longer\n"), ("c/unique.txt", "unique\n")]:
        z.writestr(zipfile.ZipInfo(name, when), text)
marker = "tavixdragesc"
with zipfile.ZipFile(out + "/hostile-drag.zip", "w") as z:
    for name, text in [("../up-" + marker + ".txt", "up"),
                       ("..\\back-" + marker + ".txt", "back"),
                       ("../../up2-" + marker + ".txt", "up2"),
                       ("/abs-" + marker + ".txt", "abs"),
                       ("C:/drive-" + marker + ".txt", "drive"),
                       ("-dash-" + marker + ".txt", "dash"),
                       ("@at-" + marker + ".txt", "at"),
                       ("x/../../inner-" + marker + ".txt", "inner")]:
        z.writestr(zipfile.ZipInfo(name, when), text)
# One entry large enough that its extraction outlasts a hand's release of the
# button (the window is disabled meanwhile), and one small one.
with zipfile.ZipFile(out + "/big-drag.zip", "w", zipfile.ZIP_DEFLATED) as z:
    info = zipfile.ZipInfo("big.bin", when)
    info.compress_type = zipfile.ZIP_DEFLATED
    with z.open(info, "w") as entry:
        block = bytes(range(256)) * 4096
        for _ in range(512):
            entry.write(block)
    z.writestr(zipfile.ZipInfo("small.txt", when), "small\n")
