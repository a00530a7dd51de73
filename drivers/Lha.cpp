#include "drivers/Lha.h"

#include "drivers/DriverTexts.h"

// The LHA command line, in the order it is built:
//
//   <command> -+ -a -c -e -f -h -i -l -m -n -o -p -r -s -t -u "-w<dir\>"
//   -x -y -z -jc -jd -je -jf -jh -ji -jm -jn "-jo<date>" "-job<date>"
//   -jp -jr -jsb -jsc -jsd -jse -jsf -jsl -jso -jss -jst -jsv -jsz -jw
//   "-jx<pattern>"... -jyc -jyd -jyk -jyn -jyo "-jz<text>"
//   -ga -gd -ge -gf -gj -gm -gn -go -gp "-gr<text>" -gs -gu -gw
//   <UserOptions> "<archive>" "<directory\>" "<name>"... | "@<response file>"
//   <UserFileList>
//
// A switch at -1 and an empty text are left out; -n becomes -n1 while an
// owner window is registered, so the library reports progress to it.

void AddLhaSwitches(TCmdOpt& cmd, const TArchiverOptions& o, TOperation,
                    const TLibraryArchiver& driver) {
  cmd.AddRaw("-+");
  for (auto [name, value] : {std::pair{"a", o.a}, {"c", o.c}, {"e", o.e}, {"f", o.f}, {"h", o.h},
                             {"i", o.i}, {"l", o.l}, {"m", o.m}})
    cmd.AddNumber(name, value);
  cmd.AddNumber("n", driver.HasOwnerWindow() ? 1 : o.n);
  for (auto [name, value] : {std::pair{"o", o.o}, {"p", o.p}, {"r", o.r}, {"s", o.s}, {"t", o.t},
                             {"u", o.u}})
    cmd.AddNumber(name, value);
  cmd.AddDir("w", o.w);
  for (auto [name, value] : {std::pair{"x", o.x}, {"y", o.y}, {"z", o.z}, {"jc", o.jc},
                             {"jd", o.jd}, {"je", o.je}, {"jf", o.jf}, {"jh", o.jh}, {"ji", o.ji},
                             {"jm", o.jm}, {"jn", o.jn}})
    cmd.AddNumber(name, value);
  cmd.AddValue("jo", o.jo);
  cmd.AddValue("job", o.job);
  for (auto [name, value] :
       {std::pair{"jp", o.jp}, {"jr", o.jr}, {"jsb", o.jsb}, {"jsc", o.jsc}, {"jsd", o.jsd},
        {"jse", o.jse}, {"jsf", o.jsf}, {"jsl", o.jsl}, {"jso", o.jso}, {"jss", o.jss},
        {"jst", o.jst}, {"jsv", o.jsv}, {"jsz", o.jsz}, {"jw", o.jw}})
    cmd.AddNumber(name, value);
  cmd.AddFiles("jx", {o.jx});
  for (auto [name, value] : {std::pair{"jyc", o.jyc}, {"jyd", o.jyd}, {"jyk", o.jyk},
                             {"jyn", o.jyn}, {"jyo", o.jyo}})
    cmd.AddNumber(name, value);
  cmd.AddValue("jz", o.jz);
  for (auto [name, value] : {std::pair{"ga", o.ga}, {"gd", o.gd}, {"ge", o.ge}, {"gf", o.gf},
                             {"gj", o.gj}, {"gm", o.gm}, {"gn", o.gn}, {"go", o.go}, {"gp", o.gp}})
    cmd.AddNumber(name, value);
  cmd.AddValue("gr", o.gr);
  for (auto [name, value] : {std::pair{"gs", o.gs}, {"gu", o.gu}, {"gw", o.gw}})
    cmd.AddNumber(name, value);
  cmd.AddRaw(o.UserOptions);
}

namespace {

TSharedLibrary<TArchiverDll> lhaLibrary(driver_texts::LhaFormat, L"UNLHA32.DLL", "Unlha");

// Deleting names entries inside the archive: no folder goes with them.
const TFamilyTable LhaTable{
    .library = lhaLibrary,
    .extract = {"x"},
    .add = {"u"},
    .remove = {.word = "d", .withFolder = false},
    .update = {"f"},
    .sfx = {.word = "s", .response = TResponseChoice::Never},
    .memory = {""},
    .addSwitches = AddLhaSwitches,
};

}  // namespace

TArchiverDll& LhaLibrary() { return lhaLibrary.Bind(); }

TCLHA32::TCLHA32() : TLibraryArchiver(LhaTable) {}

bool IsLhaArchive(const std::string& path) {
  return ProbeLibrary(lhaLibrary, path, {.existingFileOnly = true, .checkFirst = true});
}
