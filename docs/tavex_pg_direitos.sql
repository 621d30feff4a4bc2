-- Direitos de quem carrega arquivos COTEPE com "tavex-cli exportar-pg" num banco
-- em que o esquema tavex já existe (criado pela primeira carga do dono do esquema
-- ou por um administrador).
--
-- Rode como dono do esquema ou superusuário, dando o usuário em "papel":
--   psql -d fiscal -v papel=auditor -f tavex_pg_direitos.sql
--
-- Depois de uma atualização do esquema (uma versão nova do Tavex pode criar
-- tabelas), rode de novo: os direitos valem para as tabelas que já existem.

-- Encontrar os objetos do esquema.
GRANT USAGE ON SCHEMA tavex TO :"papel";

-- Ler tudo (consultas, a versão do esquema, os arquivos já carregados) e gravar e
-- substituir as linhas de cada arquivo (e01 .. e21, ead, linha_desconhecida,
-- achado, conciliacao, indicio e as que vierem).
GRANT SELECT, INSERT, DELETE ON ALL TABLES IN SCHEMA tavex TO :"papel";

-- A versão do esquema só se lê.
REVOKE INSERT, DELETE ON tavex.versao FROM :"papel";

-- Completar a linha do arquivo ao fim da carga (número de linhas).
GRANT UPDATE ON tavex.arquivo TO :"papel";

-- Numerar os arquivos (tavex.arquivo_id_seq).
GRANT USAGE ON ALL SEQUENCES IN SCHEMA tavex TO :"papel";
