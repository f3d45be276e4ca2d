%% Values of ErlCdr's Record from a generator seeded here (asn1ct:value/2 runs in a process of its
%% own, so seeding the caller would not make it repeatable), encoded by Erlang's BER encoder into
%% one file, and Erlang's own decoding of those octets written as JSON lines: one line per record,
%% {"record": N, "kind": ALTERNATIVE, "fields": {...}} named as the generated dictionary names them.
%% OTP 25 has no JSON module: the JSON is written here.
-module(erl_values).
-export([main/1]).
-include("ErlCdr.hrl").
-include("ErlCommon.hrl").

main([Count, Seed, BerFile, JsonFile]) ->
    N = list_to_integer(Count),
    S = list_to_integer(Seed),
    rand:seed(exsss, {S, S + 1, S + 2}),
    Values = [record_value() || _ <- lists:seq(1, N)],
    Encoded = [begin {ok, B} = 'ErlCdr':encode('Record', V), B end || V <- Values],
    ok = file:write_file(BerFile, Encoded),
    Lines = [begin {ok, D} = 'ErlCdr':decode('Record', B), json_line(I, D) end
             || {I, B} <- lists:zip(lists:seq(1, N), Encoded)],
    ok = file:write_file(JsonFile, Lines),
    halt(0).

%% ---- The seeded generator --------------------------------------------------------------------

pick(List) -> lists:nth(rand:uniform(length(List)), List).
maybe(Value) -> case rand:uniform(3) of 1 -> asn1_NOVALUE; _ -> Value end.
octets(Min, Max) -> list_to_binary([rand:uniform(256) - 1 || _ <- lists:seq(1, Min + rand:uniform(Max - Min + 1) - 1)]).
text(Max) -> [pick("abcdefghijklmnopqrstuvwxyz0123456789 -+") || _ <- lists:seq(1, rand:uniform(Max))].
integer() -> pick([0, 1, -1, 127, 128, -128, -129, 255, 256, 65535, -65536, 2147483647, -2147483648,
                   4294967295, 9223372036854775807, -9223372036854775808, rand:uniform(1000000)]).

record_value() ->
    case rand:uniform(3) of
        1 -> {call, call()};
        2 -> {sms, #'Sms'{seq = integer(), text = maybe(unicode:characters_to_binary(text(12) ++ [16#e9, 16#20ac])),
                          stamp = pick(["20240229235959Z", "19991231120000.5+0100", "20260101000000"])}};
        3 -> {roaming, #'Roaming'{seq = integer(), ext = maybe(#'Ext'{id = integer(), value = open_value()}),
                                  home = maybe(integer()), visited = maybe(integer())}}
    end.

call() ->
    #'Call'{seq = integer(), kind = pick([voice, data, fax]), caller = octets(1, 10),
            parties = maybe([party() || _ <- lists:seq(1, rand:uniform(3))]),
            cause = pick([normal, busy, minusOne, 5, -300]), answered = maybe(pick([true, false])),
            flags = maybe(pick([[], [prepaid], [roaming, emergency], [prepaid, roaming, emergency]])),
            place = maybe(pick([{cell, octets(1, 4)}, {area, {lac, integer()}}, {area, {name, text(8)}}])),
            flag = maybe('NULL'), note = maybe(text(20))}.

party() -> #'Party'{number = octets(1, 8), role = pick([caller, callee]), cost = maybe(integer())}.

%% An open type's value: a whole element, as the encoder takes it.
open_value() -> pick([<<2, 1, 5>>, <<4, 3, 1, 2, 3>>, <<48, 3, 1, 1, 255>>]).

%% ---- Erlang's decoding as JSON ---------------------------------------------------------------

json_line(Number, {Kind, Value}) ->
    [<<"{\"record\":">>, integer_to_list(Number), <<",\"kind\":\"">>, atom_to_list(Kind),
     <<"\",\"fields\":">>, object(fields(Value)), <<"}\n">>].

fields(#'Call'{} = C) ->
    [{seq, int(C#'Call'.seq)}, {kind, name(C#'Call'.kind)}, {caller, hex(C#'Call'.caller)},
     {parties, parties(C#'Call'.parties)}, {cause, named_int(C#'Call'.cause)},
     {answered, bool(C#'Call'.answered)}, {flags, bits(C#'Call'.flags)}, {place, place(C#'Call'.place)},
     {flag, null(C#'Call'.flag)}, {note, str(C#'Call'.note)}];
fields(#'Sms'{} = S) ->
    [{seq, int(S#'Sms'.seq)}, {text, utf8(S#'Sms'.text)}, {stamp, str(S#'Sms'.stamp)}];
fields(#'Roaming'{} = R) ->
    [{seq, int(R#'Roaming'.seq)}, {ext, ext(R#'Roaming'.ext)}, {home, int(R#'Roaming'.home)},
     {visited, int(R#'Roaming'.visited)}].

%% Each field: absent (left out), or its JSON. A repeated element is NAME, NAME#2, ... as the
%% program's JSON Lines names occurrences.
parties(asn1_NOVALUE) -> absent;
parties(List) ->
    Named = lists:zip(lists:seq(1, length(List)), List),
    object([{occurrence(party, I), object([{number, hex(P#'Party'.number)}, {role, name(P#'Party'.role)},
                                           {cost, int(P#'Party'.cost)}])} || {I, P} <- Named]).
occurrence(Name, 1) -> Name;
occurrence(Name, I) -> list_to_atom(atom_to_list(Name) ++ "#" ++ integer_to_list(I)).
place(asn1_NOVALUE) -> absent;
place({cell, B}) -> object([{cell, hex(B)}]);
place({area, {lac, I}}) -> object([{lac, int(I)}]);     % the untagged CHOICE in its holder's place
place({area, {name, S}}) -> object([{name, str(S)}]).
ext(asn1_NOVALUE) -> absent;
ext(#'Ext'{id = Id, value = V}) -> object([{id, int(Id)}, {value, hex(V)}]).

int(asn1_NOVALUE) -> absent;
int(I) -> integer_to_list(I).
named_int(A) when is_atom(A) -> name(A);
named_int(I) -> int(I).
name(asn1_NOVALUE) -> absent;
name(A) -> quote(atom_to_list(A)).
bool(asn1_NOVALUE) -> absent;
bool(B) -> atom_to_list(B).
null(asn1_NOVALUE) -> absent;
null('NULL') -> "true".
bits(asn1_NOVALUE) -> absent;
bits(List) -> ["[", lists:join(",", [quote(atom_to_list(A)) || A <- List]), "]"].
hex(asn1_NOVALUE) -> absent;
hex(B) -> quote([io_lib:format("~2.16.0B", [X]) || <<X>> <= B]).
str(asn1_NOVALUE) -> absent;
str(S) -> quote(S).
utf8(asn1_NOVALUE) -> absent;
utf8(B) -> quote(unicode:characters_to_list(B)).

object(Members) ->
    Present = [{K, V} || {K, V} <- Members, V =/= absent],
    ["{", lists:join(",", [[quote(atom_to_list(K)), ":", V] || {K, V} <- Present]), "}"].

%% A JSON string: quotation marks, backslashes and control characters escaped, the rest as UTF-8.
quote(Chars) ->
    Escaped = [case C of
                   $" -> "\\\"";
                   $\\ -> "\\\\";
                   _ when C < 32 -> io_lib:format("\\u~4.16.0B", [C]);
                   _ -> C
               end || C <- lists:flatten(Chars)],
    [$", unicode:characters_to_binary(Escaped), $"].
