#pragma once
// The small operations every editor, command, recorder and file reader builds on: making and
// linking parts and events, the delta and absolute forms of a list, note queries, selection
// and deleting by flag. None of them records undo.

#include "song/song.h"

#include <cstdint>
#include <string>

// Making and linking.
_TEvent* NewEvent(int Delta, std::uint32_t Msg);
// NewEvent for a file reader that counts the events it reads as one change of EventListEpoch
// (MapFileOpen and MapFileClose count).
_TEvent* NewReadEvent(int Delta, std::uint32_t Msg);
_TPart* NewPart(std::string Name, int Start, int Length, int TrackIndex);
// Links a part into a track in start order; False when it would share a start with another
// part or overlap one (an event-less part that runs into the next part is shortened instead).
bool InsertPart(_TTrack* Track, _TPart* Part);
_TPart* UnlinkPartAt(_TTrack* Track, int Start);
void DeletePart(_TTrack* Track, _TPart* Part);
// Event's Delta holds its time from the part start. The part grows by bars up to the next
// part at most; an event beyond the end goes to a following part within half a bar (Part then
// names that part). 4 when the part that took the event grew, else 0.
int InsertEvent(_TPart*& Part, _TEvent* Event);
// Event's Delta is its delta from the part's last event; for parts built from empty. 4 when
// the part grew.
int AppendEvent(_TPart* Part, _TEvent* Event);
_TPart* CopyPart(const _TPart* Part);
void FreePartEvents(_TPart* Part);
// Frees a part with its events.
void FreePart(_TPart* Part);

// Time form of a list.
void EventsToAbsolute(_TPart* Part);
void EventsToDelta(_TPart* Part);
void SortPartEvents(_TPart* Part);
void SwapEventData(_TEvent* A, _TEvent* B);

// Queries on delta lists.
int EventTime(const _TPart* Part, const _TEvent* Event);
int NoteLength(const _TPart* Part, const _TEvent* NoteOn);
// The note off of a note on; shows "Internal error: 1201. Part is invalide" and answers nil
// when there is none.
_TEvent* FindNoteOff(_TEvent* NoteOn);
_TEvent* FirstNoteOn(const _TPart* Part, int Note);
_TEvent* NextNoteOn(const _TEvent* Event, int Note);
_TEvent* NoteAt(const _TPart* Part, int Tick, int Note);
int TicksToNextNote(const _TEvent* Event);
int CountPartEvents(const _TPart* Part);
int CountSelectedNotes(const _TPart* Part);
int CountSelectedEvents(const _TPart* Part);
_TEvent* FirstSelectedNote(const _TPart* Part, int Note);
_TEvent* LastSelectedNote(const _TPart* Part, int Note);
_TEvent* FirstSelectedEvent(const _TPart* Part);
bool IsEventSelected(const _TEvent* Event);
_TPart* PartAtTick(const _TTrack* Track, int Tick);
bool PartContainsTick(const _TPart* Part, int Tick);
int BarsToNextPart(const _TPart* Part);
int GapToNextPart(const _TPart* Part);

// Event selection.
bool SelectAllEvents(_TPart* Part);
bool SelectAllNotes(_TPart* Part);
bool UnselectEvents(_TPart* Part);
bool InvertSelection(_TPart* Part);
void SelectNote(_TPart* Part, _TEvent* NoteOn);
void DeselectNote(_TPart* Part, _TEvent* Event);
bool ToggleNotesInArea(_TPart* Part, int T1, int LoNote, int T2, int HiNote);

// Part selection of one track.
int TrackSelectedPartCount(const _TTrack* Track);
_TPart* TrackFirstSelectedPart(const _TTrack* Track);
_TPart* TrackLastSelectedPart(const _TTrack* Track);

// Pixels of the selected notes in the key editor (KeyEditor) or the sample-part editor.
void SelectedNotesRect(const _TPart* Part, bool KeyEditor, TSong::TRect& R);

// Deleting by flag.
void DeleteSelectedEvents(_TPart* Part);
void DeleteMarkedEvents(_TPart* Part);
void DeleteUnselectedEvents(_TPart* Part);
