#pragma once

#include "platform/node_tree.h"
#include "platform/picture.h"

// What an engine node of the engine list shows during a search.
enum class EngineMark {
    Waiting, // not asked yet, or not taking part: no picture
    Asking,  // its page is being fetched or read: "QuestionMark"
    Done,    // its page is read: "CheckMark"
};

// What a node of the result tree is, and for an FTP server what its test found.
enum class ServerMark {
    Root,      // "FTP" or "HTTP": "Engine"
    Http,      // a server under "HTTP", never tested: "Working"
    Untested,  // "Untested"
    UnderTest, // a test is under way: "QuestionMark"
    Alive,     // it accepted a connection: "CheckMark"
    Dead,      // no connection, or no host: "Dead"
    Refused,   // a verify was greeted but its login refused: "Flag"
};

constexpr Picture pictureOf(EngineMark mark)
{
    switch (mark) {
    case EngineMark::Asking:
        return Picture::QuestionMark;
    case EngineMark::Done:
        return Picture::CheckMark;
    case EngineMark::Waiting:
        break;
    }
    return Picture::None;
}

constexpr Picture pictureOf(ServerMark mark)
{
    switch (mark) {
    case ServerMark::Root:
        return Picture::Engine;
    case ServerMark::Http:
        return Picture::Working;
    case ServerMark::Untested:
        return Picture::Untested;
    case ServerMark::UnderTest:
        return Picture::QuestionMark;
    case ServerMark::Alive:
        return Picture::CheckMark;
    case ServerMark::Dead:
        return Picture::Dead;
    case ServerMark::Refused:
        return Picture::Flag;
    }
    return Picture::None;
}

inline EngineMark engineMark(const NodeTree &enginesList, int node)
{
    switch (enginesList.picture(node)) {
    case Picture::QuestionMark:
        return EngineMark::Asking;
    case Picture::CheckMark:
        return EngineMark::Done;
    default:
        return EngineMark::Waiting;
    }
}

// A picture no server node carries reads as Root: never tested, never reset.
inline ServerMark serverMark(const NodeTree &ftpList, int node)
{
    switch (ftpList.picture(node)) {
    case Picture::Working:
        return ServerMark::Http;
    case Picture::Untested:
        return ServerMark::Untested;
    case Picture::QuestionMark:
        return ServerMark::UnderTest;
    case Picture::CheckMark:
        return ServerMark::Alive;
    case Picture::Dead:
        return ServerMark::Dead;
    case Picture::Flag:
        return ServerMark::Refused;
    default:
        return ServerMark::Root;
    }
}

inline void setMark(NodeTree &enginesList, int node, EngineMark mark)
{
    enginesList.setPicture(node, pictureOf(mark));
}

inline void setMark(NodeTree &ftpList, int node, ServerMark mark)
{
    ftpList.setPicture(node, pictureOf(mark));
}
