// The foreign-file loader on bytes: a model in one of the formats other tools write, read through
// Assimp into a fresh headless scene. The loader takes a path, so the bytes go to a scratch file
// whose extension, picked by the first input byte, tells the reader which format to expect.
//
// The reader runs in another process (as it does for every load), so a fault of Assimp's on a
// damaged file is a refused file here, not a finding; the findings are in the loader's own code,
// which runs in this process: the checks before reading, the unpacking of the scene handed over
// and the building of the host scene. A file that cannot be loaded ends in one ForeignSceneError
// and leaves the scene empty; a file that loads gives a scene whose saved document passes the
// document checks.
//
// Built for libFuzzer, the target hands each file to fuzz_foreign_reader, a reading process started
// once (forking the fuzzer itself for every input would cost most of its time); the corpus replay
// of other builds runs the whole loader, reading process included.
#include "fuzz/fuzz_support.h"
#include "headless/foreign_read.h"
#include "headless/foreign_scene.h"
#include "headless/host.h"
#include "headless/scene_document.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

// A reader's allocation beyond its memory bound fails as an allocation, which the reader reports,
// instead of ending the process with the sanitizer's out-of-memory report.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace {

constexpr std::array<const char*, 8> kExtensions = {".obj", ".ply", ".stl", ".gltf", ".glb", ".dae", ".fbx", ".off"};

#ifdef ZEQ_FUZZ_FOREIGN_READER
extern "C" char** environ;

// The reading process (fuzz/foreign_reader.cpp), started on first use and again if it ends.
class ReaderProcess {
public:
    // The scene read from path, or ForeignSceneError as the loader would throw it.
    std::shared_ptr<const aiScene> read(const std::string& path, double seconds) {
        if (!to_ && !start()) throw headless::ForeignSceneError("cannot start the reader");
        char line[4096] = {};
        if (std::fprintf(to_, "%g %s\n", seconds, path.c_str()) < 0 || std::fflush(to_) != 0 ||
            !std::fgets(line, sizeof line, from_)) {
            stop();
            throw headless::ForeignSceneError("the reader ended");
        }
        const std::string answer(line, std::strcspn(line, "\n"));
        if (answer != "S") ::unlink((path + ".scene").c_str());  // what a failed read left of it
        if (answer == "T") throw headless::ForeignSceneError("reading it took too long");
        if (answer.rfind("C ", 0) == 0) throw headless::ForeignSceneError("the reader crashed on this file");
        if (answer.rfind("R ", 0) == 0) throw headless::ForeignSceneError(answer.substr(2));
        if (answer != "S") throw headless::ForeignSceneError("the reader answered " + answer);
        return unpack(path + ".scene");
    }

private:
    bool start() {
        // A reading process that has ended makes writes to it fail instead of ending the fuzzer.
        ::signal(SIGPIPE, SIG_IGN);
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        char* argv[] = {const_cast<char*>(ZEQ_FUZZ_FOREIGN_READER), nullptr};
        const bool started = posix_spawn(&pid_, ZEQ_FUZZ_FOREIGN_READER, &actions, nullptr, argv, environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        if (!started) {
            ::close(in[1]);
            ::close(out[0]);
            return false;
        }
        to_ = ::fdopen(in[1], "w");
        from_ = ::fdopen(out[0], "r");
        return to_ && from_;
    }
    void stop() {
        if (to_) std::fclose(to_);
        if (from_) std::fclose(from_);
        to_ = from_ = nullptr;
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);  // it ends at the end of its input
        pid_ = 0;
    }
    static std::shared_ptr<const aiScene> unpack(const std::string& file) {
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        ::unlink(file.c_str());  // the mapping keeps the bytes
        struct stat info {};
        if (fd < 0 || ::fstat(fd, &info) != 0 || info.st_size <= 0) {
            if (fd >= 0) ::close(fd);
            throw headless::ForeignSceneError("the reader handed over no scene");
        }
        const auto size = static_cast<std::size_t>(info.st_size);
        void* bytes = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        ::close(fd);
        if (bytes == MAP_FAILED) throw headless::ForeignSceneError("cannot map the scene");
        return headless::foreign::unpackScene(static_cast<uint8_t*>(bytes), size, [bytes, size] { ::munmap(bytes, size); });
    }

    pid_t pid_ = 0;
    FILE* to_ = nullptr;
    FILE* from_ = nullptr;
};

void load(headless::Host& host, const std::string& path, const headless::ForeignReadOptions& options) {
    static ReaderProcess reader;
    headless::foreign::checkBeforeReading(path);
    const std::shared_ptr<const aiScene> scene = reader.read(path, options.timeLimit);
    headless::foreign::buildFromScene(host, *scene, options);
}
#else
void load(headless::Host& host, const std::string& path, const headless::ForeignReadOptions& options) {
    headless::loadForeignScene(host, path, options);
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    static std::array<std::unique_ptr<zeq::fuzz::ScratchFile>, kExtensions.size()> scratch;
    const size_t kind = data[0] % kExtensions.size();
    if (!scratch[kind]) scratch[kind] = std::make_unique<zeq::fuzz::ScratchFile>(kExtensions[kind]);
    const std::string& path = scratch[kind]->write(data + 1, size - 1);

    // Bounds well inside the fuzzer's own (2 GiB of memory, 20 seconds per input), so that a reader
    // that runs away is stopped by the loader. The inputs are small and read in milliseconds; the
    // readers' endless loops on some damaged headers are common among mutated inputs, and each of
    // those costs the whole time limit, so it is kept short.
    headless::ForeignReadOptions options;
    options.memoryBudget = uint64_t(512) << 20;
    options.timeLimit = 0.25;
    headless::Host host;
    const size_t before = host.scene().ownedCount();
    try {
        load(host, path, options);
    } catch (const headless::ForeignSceneError& e) {
        if (std::string(e.what()).empty()) zeq::fuzz::violated("a load error without text");
        if (host.scene().ownedCount() != before) zeq::fuzz::violated("a failed load changed the scene");
        return 0;
    }
    try {
        headless::checkSceneDocumentText(headless::saveSceneDocumentText(host));
    } catch (const headless::SceneDocumentError& e) {
        zeq::fuzz::violated(std::string("a loaded model saves a document that does not check: ") + e.what());
    }
    return 0;
}
