// The host build has no COM; the owner types only name Release.
#pragma once
