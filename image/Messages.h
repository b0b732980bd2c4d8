// The engine's message texts that more than one codec or loader reports.
#pragma once

constexpr char kCancelledMessage[] = "Cancelled";
constexpr char kCreateNoMemoryMessage[] = "CPicture::Create can't allocate memory";
constexpr char kNullFileHandlerMessage[] = "null file handler";
