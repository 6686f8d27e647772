#include "tools/velorin-release/release.h"

#include <fnmatch.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include "app/bounded_text.h"
#include "app/log.h"
#include "app/stub_payload.h"
#include "update/file_crc.h"
#include "update/manifest.h"
#include "update/target_path.h"

namespace fs = std::filesystem;

namespace {

const char kManifestName[] = "product.txt";
const char kCompressedExtension[] = ".z";

struct Entry {
  std::string path;  // relative to the source folder, "/" between folders
  std::string name;  // last part of path
  std::string type = "0";
  bool compressed = false;
  bool unchecked = false;
  uint64_t size = 0;        // bytes of the source file
  uint32_t crc = 0;         // the program's checksum of the stored file
  std::string served;       // path in the release folder
  uint64_t packedSize = 0;  // served bytes of a compressed file
  std::string target;       // manifest target, Windows form
  std::string url;
};

class Problems {
 public:
  void add(const std::string& text) { texts_.push_back(text); }
  bool any() const { return !texts_.empty(); }
  void print() const {
    for (const std::string& text : texts_)
      fprintf(stderr, "velorin-release: %s\n", text.c_str());
  }

 private:
  std::vector<std::string> texts_;
};

std::string trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos)
    return "";
  size_t end = text.find_last_not_of(" \t\r");
  return text.substr(begin, end - begin + 1);
}

std::string lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return text;
}

std::string windowsPath(const std::string& path) {
  std::string out = path;
  std::replace(out.begin(), out.end(), '/', '\\');
  return out;
}

// Percent-encodes all but the unreserved characters and "/", so that any
// server decodes the path back to the file's name.
std::string urlPath(const std::string& path) {
  std::string out;
  for (unsigned char c : path) {
    if (isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
      out += static_cast<char>(c);
    } else {
      char escape[4];
      snprintf(escape, sizeof escape, "%%%02X", c);
      out += escape;
    }
  }
  return out;
}

bool readFile(const fs::path& path, std::string* data) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f)
    return false;
  char chunk[65536];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, f)) > 0)
    data->append(chunk, got);
  bool ok = !ferror(f);
  fclose(f);
  return ok;
}

// The program's checksum of a file's bytes as the stub computes it from the
// stored file (a stub's affiliate trailer left out).
uint32_t storedBytesCrc(const std::string& data, bool skipTrailer) {
  size_t length = data.size();
  if (skipTrailer && length >= 4) {
    int64_t covered = trailerCoveredLength(
        length, reinterpret_cast<const unsigned char*>(data.data()) + length - 4);
    if (covered >= 0)
      length = static_cast<size_t>(covered);
  }
  uint32_t crc = 0;
  updateCrc(data.data(), length, &crc);
  return crc;
}

bool writeFile(const fs::path& path, const std::string& data) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f)
    return false;
  bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
  return fclose(f) == 0 && ok;
}

// The base URL the release is served under: "http://" and a host at least
// (the stub speaks plain HTTP), nothing a path cannot follow.
bool checkBaseUrl(std::string* url) {
  while (!url->empty() && url->back() == '/')
    url->pop_back();
  // A host follows "http://": not another "/" ("http:///path"), and not
  // nothing ("http://" is "http:" once its slashes are trimmed).
  if (lower(url->substr(0, 7)) != "http://" || (*url)[7] == '/')
    return false;
  for (unsigned char c : *url)
    if (c <= ' ' || c > '~' || c == '|' || c == '?' || c == '#')
      return false;
  return true;
}

// What Windows could not store under the same name, or the manifest could
// not carry, in one path of the source folder.
void checkPath(const Entry& e, Problems* problems) {
  for (unsigned char c : e.path) {
    if (c < ' ' || c > '~') {
      char text[64];
      snprintf(text, sizeof text, "a byte 0x%02X, not plain ASCII", c);
      problems->add(e.path + ": " + text);
      return;
    }
    if (c == '|') {
      problems->add(e.path + ": \"|\" separates the manifest's fields");
      return;
    }
    if (strchr("\\:*?\"<>", c)) {
      problems->add(e.path + ": \"" + std::string(1, static_cast<char>(c)) +
                    "\" cannot stand in a Windows file name");
      return;
    }
  }
  for (size_t begin = 0; begin <= e.path.size();) {
    size_t end = e.path.find('/', begin);
    if (end == std::string::npos)
      end = e.path.size();
    char last = end > begin ? e.path[end - 1] : '.';
    if (last == '.' || last == ' ') {
      problems->add(e.path + ": Windows drops a trailing dot or blank of a name");
      return;
    }
    begin = end + 1;
  }
  if (!isSafeTargetPath(e.target.c_str()))
    problems->add(e.path + ": names a device or leaves the install folder on Windows");
  if (e.name.size() < 2)
    problems->add(e.path + ": a file name needs at least 2 characters in the manifest");
  if (e.name.size() >= kBaseNameSize)
    problems->add(e.path + ": file name of 128 characters or more");
  if (e.target.size() >= kTargetSize)
    problems->add(e.path + ": path of 260 characters or more on Windows (" + e.target + ")");
  if (e.url.size() >= kUrlSize)
    problems->add(e.path + ": URL of 2084 characters or more");
  if (e.size > kMaxEntrySize)
    problems->add(e.path + ": larger than 268435456 bytes, more than the stub holds in memory");
}

// A role names one file of the folder by its exact relative path.
Entry* findRole(std::vector<Entry>& entries,
                const std::string& role,
                const std::string& path,
                const std::string& source,
                Problems* problems) {
  if (path.empty())
    return nullptr;
  std::string normal = fs::path(path).lexically_normal().generic_string();
  if (path[0] == '/' || normal == ".." || normal.rfind("../", 0) == 0) {
    problems->add(role + " " + path + ": leaves the source folder");
    return nullptr;
  }
  for (Entry& e : entries)
    if (e.path == normal)
      return &e;
  problems->add(role + " " + path + ": no such file in " + source);
  return nullptr;
}

void assignRoles(std::vector<Entry>& entries, const ReleaseOptions& options, Problems* problems) {
  const ReleaseRoles& r = options.roles;
  const std::pair<const char*, const std::string*> roles[] = {
      {"primary", &r.primary}, {"stub", &r.stub}, {"installer", &r.installer}, {"flash", &r.flash}};
  const char* types[] = {kTypePrimaryExe, kTypeStub, kTypeInstaller, kTypeFlashInstaller};
  if (r.primary.empty())
    problems->add("no primary executable: name the game client with --primary or a role file");
  for (size_t i = 0; i < 4; ++i) {
    Entry* e = findRole(entries, roles[i].first, *roles[i].second, options.source, problems);
    if (!e)
      continue;
    if (e->type != "0") {
      problems->add(e->path + ": has two roles");
      continue;
    }
    e->type = types[i];
  }
  for (const Entry& e : entries) {
    if (e.type == kTypePrimaryExe && e.path.find_first_of(" \t") != std::string::npos)
      problems->add("primary " + e.path +
                    ": a blank in the path would split the client's command line");
    if (e.type == kTypeStub && !isStubFileName(e.name.c_str()))
      problems->add("stub " + e.path + ": must be named " + kStubFileName +
                    ", the installed name whose checksum leaves out the affiliate trailer");
  }
  const std::pair<const std::vector<std::string>*, bool Entry::*> choices[] = {
      {&r.compress, &Entry::compressed}, {&r.unchecked, &Entry::unchecked}};
  for (const auto& choice : choices) {
    for (const std::string& pattern : *choice.first) {
      bool matched = false;
      for (Entry& e : entries) {
        if (fnmatch(pattern.c_str(), e.path.c_str(), 0) == 0) {
          e.*choice.second = true;
          matched = true;
        }
      }
      if (!matched)
        problems->add((choice.second == &Entry::compressed ? "compress " : "unchecked ") + pattern +
                      ": matches no file");
    }
  }
}

// Names and places: target, served path and URL of each entry, and files
// that Windows or the web server would see as one.
void placeEntries(std::vector<Entry>& entries, const std::string& baseUrl, Problems* problems) {
  std::map<std::string, std::string> targets, served;
  served[kManifestName] = "the manifest";
  for (Entry& e : entries) {
    e.served = e.path + (e.compressed ? kCompressedExtension : "");
    e.target = ".\\" + windowsPath(e.served);
    e.url = baseUrl + "/" + urlPath(e.served);
    auto t = targets.emplace(lower(e.path), e.path);
    if (!t.second)
      problems->add(e.path + " and " + t.first->second +
                    ": one file on Windows, which ignores case");
    auto s = served.emplace(lower(e.served), e.path);
    if (!s.second)
      problems->add(e.path + ": served as " + e.served + ", which " + s.first->second +
                    " already is");
  }
}

// A published stub is packed: it ends with the tail's signature.
bool endsWithStubTail(const std::string& data) {
  size_t n = data.size();
  return n >= 2 && static_cast<unsigned char>(data[n - 2]) == kTailSignature[0] &&
         static_cast<unsigned char>(data[n - 1]) == kTailSignature[1];
}

std::string manifestLine(const Entry& e) {
  char numbers[96];
  snprintf(numbers, sizeof numbers, "|%lu|%lu|", static_cast<unsigned long>(e.crc),
           static_cast<unsigned long>(e.compressed ? e.packedSize : e.size));
  std::string line = e.url + "|" + e.target + numbers + e.type + "|";
  if (e.compressed)
    line += "1|" + std::to_string(e.size) + "|";
  return line + e.name + "\n";
}

// Parses the written manifest with the stub's own parser and compares every
// entry with what was meant: a release is only published if the stub reads
// it back as written.
bool selfCheck(const std::string& manifest, const std::vector<Entry>& entries) {
  clearLog();
  bool ok = parseManifest(manifest.data(), manifest.size()) == MANIFEST_OK;
  const FileDescriptor* d = g_pxFileDescriptor;
  for (const Entry& e : entries) {
    if (!ok)
      break;
    ok = d && e.url == d->szUrl && e.target == d->szTargetFilename && e.crc == d->ulExpectedCrc &&
         e.type == d->szFileType && e.name == d->szBaseName &&
         uint64_t(d->nFileSize) == (e.compressed ? e.packedSize : e.size) &&
         (d->bCompressed != 0) == e.compressed &&
         d->nUncompressedSize == (e.compressed ? e.size : 0);
    if (!ok)
      fprintf(stderr, "velorin-release: %s reads back differently\n", e.path.c_str());
    d = d ? d->pNext : nullptr;
  }
  ok = ok && !d;
  if (!ok && logLength())
    fprintf(stderr, "%s", logText());
  freeFileDescriptorList();
  return ok;
}

bool sortKey(const Entry& a, const Entry& b) {
  // The stub first (a newer stub takes over before anything else), then the
  // primary executable, the Flash and installation programs, then the rest.
  auto rank = [](const Entry& e) {
    return e.type == kTypeStub             ? 0
           : e.type == kTypePrimaryExe     ? 1
           : e.type == kTypeFlashInstaller ? 2
           : e.type == kTypeInstaller      ? 3
                                           : 4;
  };
  return rank(a) != rank(b) ? rank(a) < rank(b) : a.path < b.path;
}

}  // namespace

bool readRoleFile(const std::string& text, ReleaseRoles* roles, std::string* error) {
  size_t lineNumber = 0;
  for (size_t begin = 0; begin < text.size();) {
    size_t end = text.find('\n', begin);
    if (end == std::string::npos)
      end = text.size();
    std::string line = trim(text.substr(begin, end - begin));
    begin = end + 1;
    ++lineNumber;
    if (line.empty() || line[0] == '#')
      continue;
    size_t blank = line.find_first_of(" \t");
    std::string role = line.substr(0, blank);
    std::string path = blank == std::string::npos ? "" : trim(line.substr(blank));
    std::string where = "line " + std::to_string(lineNumber) + ": ";
    if (path.empty()) {
      *error = where + role + " needs a path";
      return false;
    }
    std::string* single = role == "primary"     ? &roles->primary
                          : role == "stub"      ? &roles->stub
                          : role == "installer" ? &roles->installer
                          : role == "flash"     ? &roles->flash
                                                : nullptr;
    if (single) {
      if (!single->empty() && *single != path) {
        *error = where + "a second " + role + " (" + *single + " before)";
        return false;
      }
      *single = path;
    } else if (role == "compress") {
      roles->compress.push_back(path);
    } else if (role == "unchecked") {
      roles->unchecked.push_back(path);
    } else {
      *error = where + "unknown role \"" + role + "\"";
      return false;
    }
  }
  return true;
}

int buildRelease(const ReleaseOptions& options) {
  std::string baseUrl = options.baseUrl;
  if (!checkBaseUrl(&baseUrl)) {
    fprintf(stderr,
            "velorin-release: base URL %s: must be http://host[/path] without blanks, \"|\", "
            "\"?\" or \"#\"\n",
            options.baseUrl.c_str());
    return RELEASE_USAGE;
  }
  std::error_code ec;
  fs::path source = fs::canonical(options.source, ec);
  if (ec || !fs::is_directory(source)) {
    fprintf(stderr, "velorin-release: %s is not a folder\n", options.source.c_str());
    return RELEASE_USAGE;
  }
  fs::path output = fs::weakly_canonical(fs::absolute(options.output), ec);
  if (!output.has_filename())
    output = output.parent_path();
  std::string rel = ec ? "" : output.lexically_relative(source).generic_string();
  if (ec || rel.empty() || (rel != ".." && rel.rfind("../", 0) != 0)) {
    fprintf(stderr, "velorin-release: the release folder %s must lie outside %s\n",
            options.output.c_str(), options.source.c_str());
    return RELEASE_USAGE;
  }
  if (fs::exists(output) && (!fs::is_directory(output) || !fs::is_empty(output))) {
    fprintf(stderr, "velorin-release: %s exists and is not an empty folder\n",
            options.output.c_str());
    return RELEASE_USAGE;
  }
  fs::path staging = output.string() + ".partial";
  if (fs::exists(staging)) {
    fprintf(stderr, "velorin-release: %s is left from an earlier run; remove it\n",
            staging.c_str());
    return RELEASE_USAGE;
  }

  Problems problems;
  std::vector<Entry> entries;
  for (fs::recursive_directory_iterator it(source, ec), end; !ec && it != end; it.increment(ec)) {
    fs::file_status status = it->symlink_status();
    std::string path = it->path().lexically_relative(source).generic_string();
    if (fs::is_symlink(status)) {
      problems.add(path + ": a link, not followed (it could lead outside the folder)");
    } else if (fs::is_regular_file(status)) {
      Entry e;
      e.path = path;
      e.name = it->path().filename().string();
      e.size = fs::file_size(it->path(), ec);
      if (ec)
        break;
      entries.push_back(e);
    } else if (!fs::is_directory(status)) {
      problems.add(path + ": not a plain file");
    }
  }
  if (ec) {
    fprintf(stderr, "velorin-release: cannot read %s: %s\n", source.c_str(), ec.message().c_str());
    return RELEASE_IO_FAILED;
  }
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.path < b.path; });

  assignRoles(entries, options, &problems);
  placeEntries(entries, baseUrl, &problems);
  for (const Entry& e : entries)
    checkPath(e, &problems);
  if (problems.any()) {
    problems.print();
    return RELEASE_REFUSED;
  }

  // Each file is read once: its size, its checksum and the bytes published
  // come from that one read, so a file that changes meanwhile still gets an
  // entry that matches what is served. The files go to a folder beside the
  // release first, so that a server never serves half a release under its
  // final name.
  bool written = true;
  for (Entry& e : entries) {
    fs::path file = source / e.path;
    std::string data;
    if (!readFile(file, &data)) {
      fprintf(stderr, "velorin-release: cannot read %s\n", file.c_str());
      written = false;
      break;
    }
    e.size = data.size();
    if (e.size > kMaxEntrySize) {
      problems.add(e.path + ": larger than 268435456 bytes, more than the stub holds in memory");
      continue;
    }
    e.crc = e.unchecked ? 0 : storedBytesCrc(data, isStubFileName(e.name.c_str()));
    if (!e.unchecked && e.crc == 0)
      fprintf(stderr, "velorin-release: warning: %s has checksum 0 and will never be checked\n",
              e.path.c_str());
    if (e.type == kTypeStub && !endsWithStubTail(data))
      fprintf(stderr,
              "velorin-release: warning: stub %s is not packed (no tail): it carries no files "
              "and no affiliate; pack it with velorin-pack\n",
              e.path.c_str());
    if (e.compressed) {
      uLongf packedSize = compressBound(static_cast<uLong>(data.size()));
      std::string packed(packedSize, '\0');
      if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize,
                    reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                    Z_BEST_COMPRESSION) != Z_OK) {
        fprintf(stderr, "velorin-release: cannot compress %s\n", e.path.c_str());
        written = false;
        break;
      }
      packed.resize(packedSize);
      e.packedSize = packedSize;
      if (e.packedSize > kMaxEntrySize) {
        problems.add(e.path + ": compressed to more than 268435456 bytes");
        continue;
      }
      data.swap(packed);
    }
    fs::path to = staging / e.served;
    fs::create_directories(to.parent_path(), ec);
    written = !ec && writeFile(to, data);
    if (!written) {
      fprintf(stderr, "velorin-release: cannot write %s\n", to.c_str());
      break;
    }
  }
  if (!written || problems.any()) {
    problems.print();
    fs::remove_all(staging, ec);
    return written ? RELEASE_REFUSED : RELEASE_IO_FAILED;
  }

  std::sort(entries.begin(), entries.end(), sortKey);
  std::string manifest;
  for (const Entry& e : entries)
    manifest += manifestLine(e);
  if (!selfCheck(manifest, entries)) {
    fprintf(stderr,
            "velorin-release: the manifest does not read back as written; nothing written\n");
    fs::remove_all(staging, ec);
    return RELEASE_SELF_CHECK;
  }
  if (written && !writeFile(staging / kManifestName, manifest)) {
    fprintf(stderr, "velorin-release: cannot write %s\n", (staging / kManifestName).c_str());
    written = false;
  }
  if (written && fs::exists(output))
    fs::remove(output, ec);
  if (written)
    fs::rename(staging, output, ec);
  if (!written || ec) {
    if (ec)
      fprintf(stderr, "velorin-release: cannot publish %s: %s\n", output.c_str(),
              ec.message().c_str());
    fs::remove_all(staging, ec);
    return RELEASE_IO_FAILED;
  }
  size_t packed =
      std::count_if(entries.begin(), entries.end(), [](const Entry& e) { return e.compressed; });
  printf("velorin-release: %zu files (%zu compressed) and %s written to %s\n", entries.size(),
         packed, kManifestName, output.c_str());
  return RELEASE_WRITTEN;
}
