#pragma once
// The native song file (".seq"): a short-string magic, then items of a tag (short string), a
// big-endian 32-bit payload size and the payload. A marker item makes a new object current
// (a track, a part ...) and the field items after it fill that object.

#include <string>
#include <string_view>
#include <vector>

constexpr std::string_view SongFileMagic = "TolvernSeq";

// One named area of the song: a span between two ticks.
struct TSongArea {
    std::string Name;
    int Left = 0;
    int Right = 0;
};

// What saving and loading ask of the windows and of the engines that live in their own units.
// The headless default has no tempo list, no deferred actions and no windows; the main window
// installs its own.
class TSongFileHost {
public:
    virtual ~TSongFileHost() = default;
    // The options window's tempo list, one text per line.
    virtual std::vector<std::string> TempoLines() { return {}; }
    virtual void AppendTempoLine(std::string_view /*Line*/) {}
    // The main window's named areas (the headless host keeps a list of its own).
    virtual std::vector<TSongArea>& Areas() { return areas_; }
    // The song's deferred actions (the defaults reach the song's queue).
    virtual int TodoCount();
    virtual bool AudioRunning();
    virtual void RunTodos();
    virtual void AddTodo(int Kind);
    virtual void ClearSamplePool(); // the song's pool
    // A reader replaces the song: the main window's named areas and the options window's tempo
    // presets go with it (the file refills them).
    virtual void ClearSongLists() { areas_.clear(); }
    // The arrange window's caption and the File menu's recent files.
    virtual void SetArrangeCaption(std::string_view /*Caption*/) {}
    virtual void AddRecentFile(std::string_view /*Path*/) {}
    // The Save As command (which asks for a name); True when it saved.
    virtual bool SaveAs() { return false; }

private:
    std::vector<TSongArea> areas_;
};

TSongFileHost& SongFileHost();
void SetSongFileHost(TSongFileHost* Host); // nil restores the default

// The path a save under FileName writes: a ".mid" and all after it is cut from the file name,
// and ".seq" appended unless the name holds it; the folder is never changed.
std::string SongFileTarget(std::string_view FileName);

// Writes the song to SongFileTarget(FileName) through a temporary file. On success the song
// takes the new folder and name, counts as saved, and the file joins the recent files and
// the autoload setting; on failure a message says so, the old file stays as it was and
// nothing of the song changes. A file beside the song that could not be put in place once the
// song was (a failed rename) is named in a message, and the song, under its new name, stays
// marked as changed. True when the song and every file beside it were written.
bool SaveSongFile(std::string_view FileName);

// The Save command: a song never saved (or read only in part) goes to Save As; one read from or
// last written as a Standard MIDI File is written as one again; any other is saved in the
// native format under its folder and name. True when the song was saved.
bool SaveSong();

// Replaces the song with the file's (whose magic the caller has recognised). Nothing happens
// when the file cannot be mapped. A damaged or cut-off file keeps what could be read and says
// so; the result is False then, and when the file could not be mapped.
bool LoadSongFile(std::string_view FileName);
// LoadSongFile without the clear: the file's records go into the song as it stands (for
// measuring what reading costs).
bool ReadSongFileRecords(std::string_view FileName);
