#include "driver/output.h"

#include <fcntl.h>
#include <gdfonts.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>

void draw_banner(const RunState& st, const std::string& message) {
  gdFontPtr font = gdFontGetSmall();
  int y = st.settings.height - st.margin / 2 - font->h / 2 - 2;
  gdImageString(st.im_out, font, st.margin, y,
                reinterpret_cast<unsigned char*>(const_cast<char*>(message.c_str())),
                st.colours[0]);
}

namespace {

// What a chart replaces. An empty path means out_png is written in place.
struct Target {
  std::string path;
  bool exists = false;
  struct stat old = {};
};

// The directory part of a path, with its slash: "" for a bare name.
std::string directory_of(const std::string& path) {
  return path.substr(0, path.rfind('/') + 1);
}

// A link in /proc (/dev/stdout and /dev/fd/N lead there) stands for a file
// the caller has open and may read back through it: that file must be written
// itself, not replaced by another.
bool stands_for_an_open_file(const std::string& link) {
  struct statfs fs;
  std::string dir = directory_of(link);
  return statfs(dir.empty() ? "." : dir.c_str(), &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
}

// Follows symbolic links to the name of the file they lead to, so that a link
// stays a link; false when the file must be written in place.
bool follow_links(std::string& path) {
  char text[PATH_MAX];
  for (int hops = 0; hops < 40; ++hops) {  // the kernel's own limit
    ssize_t n = readlink(path.c_str(), text, sizeof text);
    if (n < 0) return true;  // no link: the file itself, or nothing yet
    if (n == sizeof text || stands_for_an_open_file(path)) return false;
    std::string next(text, n);
    path = next.starts_with('/') ? next : directory_of(path) + next;
  }
  return false;
}

// Only a new file, or a regular one the user may write with no other name, is
// replaced: another link would keep the old chart, a device cannot be renamed,
// and a file the user may not write is left for fopen to refuse.
Target find_target(const char* name) {
  Target t;
  std::string path = name;
  if (!follow_links(path)) return t;
  if (lstat(path.c_str(), &t.old) != 0) {
    if (errno == ENOENT) t.path = path;
    return t;
  }
  t.exists = true;
  if (S_ISREG(t.old.st_mode) && t.old.st_nlink == 1 &&
      faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0)
    t.path = path;
  return t;
}

// The new file gets the old one's owner and permission bits, or those
// fopen would give a new file.
bool take_attributes(int fd, const Target& t) {
  if (!t.exists) {
    mode_t mask = umask(0);
    umask(mask);
    return fchmod(fd, 0666 & ~mask) == 0;
  }
  // Only root may give a file away; for anyone else the chart stays theirs.
  [[maybe_unused]] int given = fchown(fd, t.old.st_uid, t.old.st_gid);
  return fchmod(fd, t.old.st_mode & 07777) == 0;
}

bool write_and_close(FILE* out, const void* png, int size) {
  bool ok = fwrite(png, 1, size, out) == static_cast<size_t>(size);
  return (fclose(out) == 0) && ok;
}

// Writes the PNG beside the target and renames it over the target, so that a
// failure leaves the old file whole and no reader sees half a chart. Returns
// -1, having changed nothing, when no such file can be made there.
int replace_target(const Target& t, const void* png, int size, FILE* err) {
  std::string temp = directory_of(t.path) + ".trendle-XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) return -1;
  bool placed = take_attributes(fd, t);
  FILE* out = placed ? fdopen(fd, "wb") : nullptr;
  if (!out) close(fd);
  bool ok = out && write_and_close(out, png, size) && rename(temp.c_str(), t.path.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  if (!placed) return -1;
  if (!ok) fputs("Could not write output file.\n", err);
  return ok ? 0 : 1;
}

int write_in_place(const char* name, const void* png, int size, FILE* err) {
  FILE* out = fopen(name, "wb");
  if (!out) {
    fputs("Could not create output file.\n", err);
    return 1;
  }
  if (!write_and_close(out, png, size)) {
    fputs("Could not write output file.\n", err);
    return 1;
  }
  return 0;
}

}  // namespace

int write_outfile(const RunState& st, FILE* err) {
  // Encoding first, in memory, means nothing is opened for an image that cannot be encoded.
  gdImageInterlace(st.im_out, 1);
  int size = 0;
  std::unique_ptr<void, void (*)(void*)> png(gdImagePngPtr(st.im_out, &size), gdFree);
  if (!png) {
    fputs("Could not encode the image as PNG.\n", err);
    return 1;
  }
  Target target = find_target(st.settings.outname);
  int status = target.path.empty() ? -1 : replace_target(target, png.get(), size, err);
  return status >= 0 ? status : write_in_place(st.settings.outname, png.get(), size, err);
}
